// A text file bound to a name for the whole run, read or written line by
// line. An empty name stands for standard input or standard output.
//
// Every operation but the two opens ends with the check of the recorded
// status code, so a failure there ends the run with the fatal report; the
// report names the address the operation was called from.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "run/line_reader.h"
#include "run/platform.h"
#include "run/write_queue.h"

namespace keyseq {

class Io;

class TextFile {
 public:
  // Binding a name touches nothing on disk.
  TextFile(Io& io, std::string name);
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // The opens record a failure for the caller's status test instead of
  // checking it. Opening a file that is open closes it first, writing out
  // its queue; so a second opening for reading starts at the first byte
  // again, and a second opening for writing empties the file again.
  void OpenForReading();
  void OpenForWriting();
  // A stream that cannot be opened anew (a pipe) keeps what is read from
  // it until the next OpenForReading, which then reads it again.
  void KeepForReopen() { keep_for_reopen_ = true; }

  [[gnu::noinline]] std::string_view ReadLine();
  [[gnu::noinline]] std::string ReadBoundedLine();
  [[gnu::noinline]] bool AtEndOfFile();
  [[gnu::noinline]] void WriteText(std::string_view text);
  [[gnu::noinline]] void WriteLine(std::string_view text);
  // Writes out the queue and closes; a standard stream stays open.
  [[gnu::noinline]] void CloseFile();

  // For the fatal report only: when open for writing, writes out the queue
  // and `report` and closes the file, trying nothing more after a failure.
  void AppendReportAndClose(std::string_view report);

 private:
  enum class Mode { kClosed, kReading, kWriting };

  // Closes without a check; returns the code of a failure.
  int Close();
  bool Standard() const { return name_.empty(); }
  // The reader, or nullptr after recording why there is none.
  LineReader* Reader();
  WriteQueue* Queue();

  Io& io_;
  std::string name_;
  Mode mode_ = Mode::kClosed;
  bool keep_for_reopen_ = false;
  // Whether the open file can be opened anew to start it again.
  bool reopenable_ = true;
  // Set while open for reading.
  std::unique_ptr<LineReader> reader_;
  // Set while a named file is open for writing; a file bound to standard
  // output writes through the run's one queue of standard output.
  std::optional<WriteQueue> own_queue_;
  Handle handle_ = -1;
};

}  // namespace keyseq
