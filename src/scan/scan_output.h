// Where the scan's results go: the marker lines on standard output and the
// records of the match report.
#pragma once

#include <string_view>

namespace keyseq {

class ScanOutput {
 public:
  virtual ~ScanOutput() = default;
  // A search found the rest of the line empty or shorter than the key.
  virtual void WriteMarker() = 0;
  // One reported line and the keys found in it.
  virtual void WriteRecord(std::string_view found_keys,
                           std::string_view line) = 0;
  // The closing separator; the report is complete.
  virtual void CloseReport() = 0;
};

}  // namespace keyseq
