// The match report: a record of three lines for every reported input line,
// then a closing separator; and the marker lines on standard output.
#pragma once

#include <string_view>

#include "run/text_file.h"
#include "scan/scan_output.h"

namespace keyseq {

inline constexpr std::string_view kSeparator = "--------------";
inline constexpr std::string_view kMarker = "*** 3.1 ****";

class MatchReport : public ScanOutput {
 public:
  // `output_file` is open for writing and empty; `standard_output` is the
  // run's standard output.
  MatchReport(TextFile& output_file, TextFile& standard_output)
      : output_file_(output_file), standard_output_(standard_output) {}

  void WriteMarker() override;
  // The separator, the found-key list followed by ": ", and the line as
  // it was read.
  void WriteRecord(std::string_view found_keys, std::string_view line) override;
  // Writes the closing separator and closes the Output File.
  void CloseReport() override;

 private:
  TextFile& output_file_;
  TextFile& standard_output_;
};

}  // namespace keyseq
