// The queue in front of a file open for writing: bytes reach the file in
// blocks of kQueueSize, when the file is closed or opened again, and, on a
// terminal, at every line end.
#pragma once

#include <cstddef>
#include <string_view>

#include "run/platform.h"

namespace keyseq {

class Io;

class WriteQueue {
 public:
  static constexpr std::size_t kQueueSize = 128;

  WriteQueue(Io& io, Handle handle, bool terminal);

  // Queues `text`, writing out every queue that fills. A failed write
  // records its code, drops what was queued and stops there. Returns the
  // code of a failure, 0 otherwise.
  int Append(std::string_view text);
  // Appends CR LF; on a terminal the queue is then written out.
  void EndLine();
  // Writes out what is queued. Returns the code of a failure, 0 otherwise;
  // the code is recorded as well.
  int WriteOut();

  Handle handle() const { return handle_; }

 private:
  Io& io_;
  Handle handle_;
  bool terminal_;
  // bytes_[0, size_) wait to be written; size_ < kQueueSize between calls,
  // so the file always holds every complete block of what was appended.
  char bytes_[kQueueSize];
  std::size_t size_ = 0;
};

}  // namespace keyseq
