// Lines out of one open file or stream, searched for in large blocks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "run/bounded_string.h"
#include "run/platform.h"

namespace keyseq {

class Io;

// A line ends at LF or CR LF; every CR is dropped, so none is ever part of
// a line. The byte 0x1A ends the data wherever it stands.
class LineReader {
 public:
  // Each read asks the platform for at most this many bytes.
  static constexpr std::size_t kBlockSize = 64 * 1024;

  // With `keep_all`, nothing read is dropped until Replay(), so that a
  // stream that cannot be opened again can still be read again.
  LineReader(Io& io, Handle handle, bool keep_all);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line, however long. The view stays valid until the next
  // ReadLine or ReadBoundedLine; AtEndOfFile does not move it.
  std::string_view ReadLine();
  // The first kBoundedLength bytes (CR bytes not counted) of the next line; the
  // rest of the line is skipped without being held in memory.
  std::string ReadBoundedLine();
  // True when no byte is left before the end of the data.
  bool AtEndOfFile();
  // Starts again at the first byte read.
  void Replay();

 private:
  // Drops what has been consumed, unless everything is kept, makes room
  // and reads the next block. Moves the bytes still wanted.
  void ReadMore();
  // Reads the next block into the free room after end_.
  void ReadBlock();
  void Grow(std::size_t capacity);
  // The position of the first LF in data_[from, end_), or end_.
  std::size_t FindLf(std::size_t from) const;
  std::string_view WithoutCr(std::size_t begin, std::size_t end);

  Io& io_;
  Handle handle_;
  bool keep_all_;
  // data_[0, capacity_) is the buffer; data_[0, end_) holds the bytes read
  // and not yet dropped, and never a 0x1A: the data ends in front of it.
  char* data_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t end_ = 0;
  // The next byte to consume; pos_ <= end_.
  std::size_t pos_ = 0;
  // True once the platform has reported the end of the data or a failure,
  // or a 0x1A was seen: nothing more is read.
  bool at_end_ = false;
  // A line with CR bytes inside it, without them.
  std::string without_cr_;
  // data_[cr_from_, next_cr_) holds no CR; next_cr_ is the first CR after
  // it or the end of what was searched. One search thus covers every line
  // up to the next CR, instead of one search per line.
  std::size_t cr_from_ = 0;
  std::size_t next_cr_ = 0;
};

}  // namespace keyseq
