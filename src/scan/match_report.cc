#include "scan/match_report.h"

namespace keyseq {

void MatchReport::WriteMarker() { standard_output_.WriteLine(kMarker); }

void MatchReport::WriteRecord(std::string_view found_keys,
                              std::string_view line) {
  output_file_.WriteLine(kSeparator);
  output_file_.WriteText(found_keys);
  output_file_.WriteLine(": ");
  output_file_.WriteLine(line);
}

void MatchReport::CloseReport() {
  output_file_.WriteLine(kSeparator);
  output_file_.CloseFile();
}

}  // namespace keyseq
