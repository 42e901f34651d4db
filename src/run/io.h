// What every text file of a run shares: the platform, the recorded status
// code, standard output and the way a fatal error ends the run.
#pragma once

#include <string_view>

#include "run/platform.h"
#include "run/text_file.h"
#include "run/write_queue.h"

namespace keyseq {

class Io {
 public:
  explicit Io(Platform& platform);
  Io(const Io&) = delete;
  Io& operator=(const Io&) = delete;

  Platform& platform() { return platform_; }

  // A failed operation records its code; a later one replaces it.
  void Record(int code) { status_ = code; }
  // The status test after a guarded open: the recorded code, which it
  // clears; 0 when nothing failed.
  int TakeStatus();
  // The check after an operation: a recorded code ends the run. `site` is
  // the address that the report names.
  void Check(const void* site) {
    if (status_ != 0) FailInOut(site);
  }

  // Standard output as a text file, always open for writing.
  TextFile& Output() { return output_; }
  // The one queue of standard output, shared by every text file that
  // writes to it, so that their lines arrive in the order written.
  WriteQueue& OutputQueue() { return output_queue_; }

  // The status file, which receives a copy of the fatal report.
  void SetStatusFile(TextFile& file) { status_file_ = &file; }

  // The end of a run that was not ended by a fatal error: standard output
  // is written out, and a failure there is fatal too.
  [[gnu::noinline]] void Finish();

  // Writes out standard output, reports on standard error and in the
  // status file, and ends the process with exit status 1.
  [[noreturn]] void Fatal(std::string_view kind, std::string_view message,
                          const void* site);

 private:
  [[noreturn]] void FailInOut(const void* site);

  Platform& platform_;
  int status_ = 0;
  WriteQueue output_queue_;
  TextFile output_;
  TextFile* status_file_ = nullptr;
};

}  // namespace keyseq
