#include "run/io.h"

#include <cstdlib>

#include "run/fatal.h"

namespace keyseq {

Io::Io(Platform& platform)
    : platform_(platform),
      output_queue_(*this, platform.StandardOutput(),
                    platform.IsTerminal(platform.StandardOutput())),
      output_(*this, "") {
  output_.OpenForWriting();
}

int Io::TakeStatus() {
  int code = status_;
  status_ = 0;
  return code;
}

void Io::Finish() {
  output_queue_.WriteOut();
  Check(__builtin_return_address(0));
}

void Io::FailInOut(const void* site) {
  Fatal(kInOutError, ErrorMessage(status_), site);
}

void Io::Fatal(std::string_view kind, std::string_view message,
               const void* site) {
  // The run is ending already: a failure on the way changes nothing.
  output_queue_.WriteOut();
  std::string report = FatalReport(kind, platform_.ProgramName(),
                                   platform_.CodeOffset(site), message);
  std::string console = platform_.ForStandardError(report);
  platform_.Write(platform_.StandardError(), console.data(), console.size());
  // The caller sees success in an empty status file: after a fatal error
  // it must hold the report.
  if (status_file_ != nullptr) status_file_->AppendReportAndClose(report);
  platform_.Exit(1);
  // Exit does not return; the compiler cannot see that through the
  // virtual call.
  std::abort();
}

}  // namespace keyseq
