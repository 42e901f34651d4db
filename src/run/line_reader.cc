#include "run/line_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "run/io.h"

namespace keyseq {

LineReader::LineReader(Io& io, Handle handle, bool keep_all)
    : io_(io), handle_(handle), keep_all_(keep_all) {}

LineReader::~LineReader() { io_.platform().Free(data_); }

void LineReader::Grow(std::size_t capacity) {
  void* grown = io_.platform().Reallocate(data_, capacity);
  if (grown == nullptr) throw std::bad_alloc();
  data_ = static_cast<char*>(grown);
  capacity_ = capacity;
}

void LineReader::ReadBlock() {
  if (capacity_ == end_) {
    Grow(std::max(capacity_ + capacity_ / 2, end_ + 2 * kBlockSize));
  }
  std::size_t want = std::min(capacity_ - end_, kBlockSize);
  std::size_t got = 0;
  if (int code = io_.platform().Read(handle_, data_ + end_, want, &got)) {
    io_.Record(code);
    at_end_ = true;
    return;
  }
  if (got == 0) {
    at_end_ = true;
    return;
  }
  if (const void* eof = std::memchr(data_ + end_, 0x1A, got)) {
    got = static_cast<const char*>(eof) - (data_ + end_);
    at_end_ = true;
  }
  end_ += got;
}

void LineReader::ReadMore() {
  if (!keep_all_ && pos_ > 0) {
    std::memmove(data_, data_ + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    cr_from_ = next_cr_ = 0;
  }
  // Room for two blocks, so that a block read leaves room for one more: the
  // read of AtEndOfFile then needs no move.
  if (capacity_ - end_ < 2 * kBlockSize) {
    Grow(std::max(capacity_ + capacity_ / 2, end_ + 2 * kBlockSize));
  }
  ReadBlock();
}

std::size_t LineReader::FindLf(std::size_t from) const {
  if (from == end_) return end_;
  const void* lf = std::memchr(data_ + from, '\n', end_ - from);
  return lf ? static_cast<const char*>(lf) - data_ : end_;
}

std::string_view LineReader::ReadLine() {
  // pos_ moves only once the line is complete, so that ReadMore keeps it.
  std::size_t searched = pos_;
  for (;;) {
    std::size_t line_end = FindLf(searched);
    if (line_end != end_) {
      std::size_t begin = pos_;
      pos_ = line_end + 1;
      if (pos_ == end_ && capacity_ == end_ && !at_end_) {
        // The line ends the buffer: make room now, while the line may still
        // move, for the read that AtEndOfFile may need.
        Grow(capacity_ + kBlockSize);
      }
      return WithoutCr(begin, line_end);
    }
    if (at_end_) {
      std::size_t begin = pos_;
      pos_ = end_;
      return WithoutCr(begin, end_);
    }
    // The bytes searched hold no LF: the search goes on after them, so a
    // long line is searched once, not once per block.
    std::size_t offset = end_ - pos_;
    ReadMore();
    searched = pos_ + offset;
  }
}

std::string_view LineReader::WithoutCr(std::size_t begin, std::size_t end) {
  if (begin == end) return {};
  if (data_[end - 1] == '\r') --end;
  std::string_view line(data_ + begin, end - begin);
  if (begin >= cr_from_ && end <= next_cr_) return line;
  // Searched to the end of what was read, for the lines after this one.
  const void* cr = std::memchr(data_ + begin, '\r', end_ - begin);
  cr_from_ = begin;
  next_cr_ = cr ? static_cast<const char*>(cr) - data_ : end_;
  if (end <= next_cr_) return line;
  without_cr_.clear();
  for (char c : line) {
    if (c != '\r') without_cr_ += c;
  }
  return without_cr_;
}

std::string LineReader::ReadBoundedLine() {
  std::string line;
  for (;;) {
    std::size_t stop = FindLf(pos_);
    for (std::size_t i = pos_; i < stop && line.size() < kBoundedLength; ++i) {
      if (data_[i] != '\r') line += data_[i];
    }
    if (stop != end_) {
      pos_ = stop + 1;
      break;
    }
    pos_ = end_;
    if (at_end_) break;
    ReadMore();
  }
  return line;
}

bool LineReader::AtEndOfFile() {
  if (pos_ == end_ && !at_end_) ReadBlock();
  return pos_ == end_;
}

void LineReader::Replay() {
  keep_all_ = false;
  pos_ = 0;
}

}  // namespace keyseq
