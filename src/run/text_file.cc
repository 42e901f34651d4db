#include "run/text_file.h"

#include <utility>

#include "run/fatal.h"
#include "run/io.h"

namespace keyseq {

TextFile::TextFile(Io& io, std::string name)
    : io_(io), name_(std::move(name)) {}

int TextFile::Close() {
  int code = mode_ == Mode::kWriting ? Queue()->WriteOut() : 0;
  Mode was = mode_;
  mode_ = Mode::kClosed;
  reader_.reset();
  own_queue_.reset();
  if (was != Mode::kClosed && !Standard()) {
    if (int closed = io_.platform().Close(handle_)) {
      io_.Record(closed);
      if (code == 0) code = closed;
    }
  }
  return code;
}

void TextFile::OpenForReading() {
  Platform& platform = io_.platform();
  if (mode_ == Mode::kReading && !reopenable_ && keep_for_reopen_) {
    keep_for_reopen_ = false;
    reader_->Replay();
    return;
  }
  Close();
  Opened opened;
  if (Standard()) {
    opened.handle = platform.StandardInput();
    opened.reopenable = false;
  } else {
    opened = platform.OpenForReading(name_);
    if (opened.code != 0) {
      io_.Record(opened.code);
      return;
    }
  }
  handle_ = opened.handle;
  reopenable_ = opened.reopenable;
  reader_ = std::make_unique<LineReader>(io_, handle_,
                                         keep_for_reopen_ && !reopenable_);
  mode_ = Mode::kReading;
}

void TextFile::OpenForWriting() {
  Platform& platform = io_.platform();
  Close();
  if (Standard()) {
    handle_ = platform.StandardOutput();
  } else {
    Opened opened = platform.OpenForWriting(name_);
    if (opened.code != 0) {
      io_.Record(opened.code);
      return;
    }
    handle_ = opened.handle;
    own_queue_.emplace(io_, handle_, platform.IsTerminal(handle_));
  }
  mode_ = Mode::kWriting;
}

LineReader* TextFile::Reader() {
  if (mode_ == Mode::kReading) return reader_.get();
  io_.Record(mode_ == Mode::kClosed ? kFileNotOpen : kNotOpenForReading);
  return nullptr;
}

WriteQueue* TextFile::Queue() {
  if (mode_ == Mode::kWriting) {
    return own_queue_ ? &*own_queue_ : &io_.OutputQueue();
  }
  io_.Record(mode_ == Mode::kClosed ? kFileNotOpen : kNotOpenForWriting);
  return nullptr;
}

std::string_view TextFile::ReadLine() {
  std::string_view line;
  if (LineReader* reader = Reader()) line = reader->ReadLine();
  io_.Check(__builtin_return_address(0));
  return line;
}

std::string TextFile::ReadBoundedLine() {
  std::string line;
  if (LineReader* reader = Reader()) line = reader->ReadBoundedLine();
  io_.Check(__builtin_return_address(0));
  return line;
}

bool TextFile::AtEndOfFile() {
  bool at_end = true;
  if (LineReader* reader = Reader()) at_end = reader->AtEndOfFile();
  io_.Check(__builtin_return_address(0));
  return at_end;
}

void TextFile::WriteText(std::string_view text) {
  if (WriteQueue* queue = Queue()) queue->Append(text);
  io_.Check(__builtin_return_address(0));
}

void TextFile::WriteLine(std::string_view text) {
  if (WriteQueue* queue = Queue()) {
    if (queue->Append(text) == 0) queue->EndLine();
  }
  io_.Check(__builtin_return_address(0));
}

void TextFile::CloseFile() {
  if (mode_ == Mode::kClosed) io_.Record(kFileNotOpen);
  Close();
  io_.Check(__builtin_return_address(0));
}

void TextFile::AppendReportAndClose(std::string_view report) {
  if (mode_ != Mode::kWriting) return;
  WriteQueue* queue = Queue();
  if (queue->WriteOut() != 0 || queue->Append(report) != 0 ||
      queue->WriteOut() != 0) {
    return;
  }
  io_.platform().Close(handle_);
  mode_ = Mode::kClosed;
}

}  // namespace keyseq
