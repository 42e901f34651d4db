#include "scan_harness.h"

#include "fake_platform.h"
#include "run/bounded_string.h"
#include "run/io.h"

namespace keyseq {

std::string Transcript(const Scan& scan, const std::string& input,
                       const std::string& keys, std::size_t block_limit) {
  FakePlatform platform;
  platform.files["in"] = input;
  platform.files["keys"] = keys;
  platform.block_limit = block_limit;
  Io io(platform);
  TextFile input_file(io, "in");
  TextFile key_file(io, "keys");
  input_file.OpenForReading();
  key_file.OpenForReading();
  RecordingOutput output;
  scan(input_file, key_file, output, Windows1252UpperCase());
  return output.text;
}

void ReferenceScan(TextFile& InputFile, TextFile& KeyCollectionFile,
                   ScanOutput& output, const CaseTable& upper) {
  std::string State = "NewKey";
  std::string Key, FoundKeys, Line;
  long LineNo = 0;
  std::size_t SearchFrom = 1;
  int MatchCount = 0, LineHits = 0;
  for (;;) {
    if (State == "NewKey") {
      do {
        Key = KeyCollectionFile.ReadBoundedLine();
        UpperCase(Key, upper);
      } while (PositionOf(Key, FoundKeys) != 0);
    }
    if (State == "NewLine" || LineNo == 0) {
      ++LineNo;
      Line = std::string(InputFile.ReadLine());
      SearchFrom = 1;
      MatchCount = 0;
      LineHits = 0;
    }
    std::string rest =
        SearchFrom <= Line.size() ? Line.substr(SearchFrom - 1) : "";
    if (!rest.empty() && rest.size() >= Key.size()) {
      UpperCase(rest, upper);
      std::size_t p = PositionOf(Key, rest);
      if (p == 0) {
        MatchCount = 0;
      } else {
        SearchFrom = SearchFrom + p - 1 + Key.size();
        ++MatchCount;
        LineHits = MatchCount;
      }
    } else {
      output.WriteMarker();
      MatchCount = 0;
    }
    if (MatchCount > 0) {
      State = "NewKey";
      FoundKeys = FoundKeys.empty() ? Key : Bounded(FoundKeys + ", " + Key);
    } else {
      State = "NewLine";
    }
    if (MatchCount == 0 && LineHits > 0 && !FoundKeys.empty()) {
      output.WriteRecord(FoundKeys, Line);
      FoundKeys.clear();
      continue;
    }
    if (!InputFile.AtEndOfFile()) continue;
    if (!KeyCollectionFile.AtEndOfFile()) {
      State = "NewKey";
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
