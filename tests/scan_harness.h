// Runs a scan over in-memory files and writes what reached its output as
// one text: "marker", "record KEYS|LINE" and "close", a line each.
#pragma once

#include <functional>
#include <string>

#include "run/text_file.h"
#include "scan/scan_output.h"
#include "scan/strings.h"

namespace keyseq {

class RecordingOutput : public ScanOutput {
 public:
  void WriteMarker() override { text += "marker\n"; }
  void WriteRecord(std::string_view found_keys,
                   std::string_view line) override {
    text +=
        "record " + std::string(found_keys) + "|" + std::string(line) + "\n";
  }
  void CloseReport() override { text += "close\n"; }

  std::string text;
};

using Scan = std::function<void(TextFile& input, TextFile& keys,
                                ScanOutput& output, const CaseTable& upper)>;

// The transcript of `scan` over the Input File `input` and the Key
// Collection File `keys`, read in blocks of at most `block_limit` bytes.
std::string Transcript(const Scan& scan, const std::string& input,
                       const std::string& keys,
                       std::size_t block_limit = 1 << 20);

// The scan written step by step as the rules state it, over upper-cased
// copies, for comparison with the real one.
void ReferenceScan(TextFile& InputFile, TextFile& KeyCollectionFile,
                   ScanOutput& output, const CaseTable& upper);

}  // namespace keyseq
