#include "run/write_queue.h"

#include <algorithm>
#include <cstring>

#include "run/io.h"

namespace keyseq {

WriteQueue::WriteQueue(Io& io, Handle handle, bool terminal)
    : io_(io), handle_(handle), terminal_(terminal) {}

int WriteQueue::Append(std::string_view text) {
  while (!text.empty()) {
    if (size_ == 0 && text.size() >= kQueueSize) {
      // Whole blocks go out in one write: the file receives the same bytes
      // as through the queue, in fewer calls.
      std::size_t whole = text.size() - text.size() % kQueueSize;
      if (int code = io_.platform().Write(handle_, text.data(), whole)) {
        io_.Record(code);
        return code;
      }
      text.remove_prefix(whole);
      continue;
    }
    std::size_t n = std::min(kQueueSize - size_, text.size());
    std::memcpy(bytes_ + size_, text.data(), n);
    size_ += n;
    text.remove_prefix(n);
    if (size_ == kQueueSize) {
      if (int code = WriteOut()) return code;
    }
  }
  return 0;
}

void WriteQueue::EndLine() {
  if (Append("\r\n") == 0 && terminal_) WriteOut();
}

int WriteQueue::WriteOut() {
  if (size_ == 0) return 0;
  int code = io_.platform().Write(handle_, bytes_, size_);
  size_ = 0;
  if (code != 0) io_.Record(code);
  return code;
}

}  // namespace keyseq
