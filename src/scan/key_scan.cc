#include "scan/key_scan.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "run/bounded_string.h"
#include "scan/key_finder.h"

namespace keyseq {

namespace {

// What the next step fetches first.
enum class ScanState { NewKey, NewLine };

}  // namespace

void ScanKeys(TextFile& InputFile, TextFile& KeyCollectionFile,
              ScanOutput& output, const CaseTable& upper) {
  ScanState State = ScanState::NewKey;
  std::string Key;
  KeyFinder finder;
  // The keys found in the current line, in the order found, upper-cased.
  std::string FoundKeys;
  // Valid until the next read of the Input File.
  std::string_view Line;
  // Lines read, past the end included.
  std::uint64_t LineNo = 0;
  // Where the search for the current key begins in Line, from 0.
  std::size_t SearchFrom = 0;
  // Keys found one after the other since the last failure or new line.
  int MatchCount = 0;
  // Keys found in the current line.
  int LineHits = 0;

  for (;;) {
    // A: the next key that is not part of the found-key list.
    if (State == ScanState::NewKey) {
      do {
        Key = KeyCollectionFile.ReadBoundedLine();
        UpperCase(Key, upper);
      } while (PositionOf(Key, FoundKeys) != 0);
      finder = KeyFinder(Key, upper);
    }
    // B: the next line.
    if (State == ScanState::NewLine || LineNo == 0) {
      ++LineNo;
      Line = InputFile.ReadLine();
      SearchFrom = 0;
      MatchCount = 0;
      LineHits = 0;
    }
    // C: the key in the rest of the line.
    std::string_view rest = Line.substr(SearchFrom);
    if (!rest.empty() && rest.size() >= Key.size()) {
      std::size_t at = finder.Find(rest);
      if (at == KeyFinder::kNotFound) {
        MatchCount = 0;
      } else {
        SearchFrom += at + Key.size();
        ++MatchCount;
        LineHits = MatchCount;
      }
    } else {
      output.WriteMarker();
      MatchCount = 0;
    }
    // D: the outcome.
    if (MatchCount > 0) {
      State = ScanState::NewKey;
      FoundKeys = FoundKeys.empty() ? Key : Bounded(FoundKeys + ", " + Key);
    } else {
      State = ScanState::NewLine;
    }
    // E: leaving a line that had hits.
    if (MatchCount == 0 && LineHits > 0 && !FoundKeys.empty()) {
      output.WriteRecord(FoundKeys, Line);
      FoundKeys.clear();
      continue;
    }
    // F: the end tests.
    if (!InputFile.AtEndOfFile()) continue;
    if (!KeyCollectionFile.AtEndOfFile()) {
      State = ScanState::NewKey;
      continue;
    }
    if (MatchCount > 0) {
      output.WriteRecord(FoundKeys, Line);
      FoundKeys.clear();
    }
    output.CloseReport();
    return;
  }
}

}  // namespace keyseq
