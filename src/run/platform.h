// The operating system as the tool sees it: one abstract interface, so that
// tests can replace it with an in-memory fake that records what was done and
// can make any single operation fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace keyseq {

// An open file or standard stream; what the number means is the platform's.
using Handle = std::intptr_t;

// The outcome of an open.
struct Opened {
  // 0, or the status code of the failure (the operating system's error
  // number, mapped onto the codes the fatal report knows).
  int code = 0;
  Handle handle = -1;
  // False for a pipe, a terminal or a device: opening the name again would
  // not start its data again from the first byte.
  bool reopenable = true;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The command line's parameters, in order, without the program's name and
  // without empty items.
  virtual std::vector<std::string> Parameters() = 0;
  // The program's file name without its directory.
  virtual std::string ProgramName() = 0;

  // Opens an existing file for reading. While it is open the file may be
  // opened again for reading, by this run or another process, but not for
  // writing.
  virtual Opened OpenForReading(const std::string& name) = 0;
  // Creates a file, or empties an existing one, for writing. Refused without
  // touching the file while it is open anywhere else; while it is open no
  // one else may write to it.
  virtual Opened OpenForWriting(const std::string& name) = 0;
  // Reads at most `size` bytes into `data` and sets `*got`; 0 bytes means the
  // end of the data (a broken pipe included). Returns 0 or a status code.
  virtual int Read(Handle handle, char* data, std::size_t size,
                   std::size_t* got) = 0;
  // Writes all `size` bytes. Returns 0 or a status code.
  virtual int Write(Handle handle, const char* data, std::size_t size) = 0;
  // Returns 0 or a status code.
  virtual int Close(Handle handle) = 0;
  virtual bool IsTerminal(Handle handle) = 0;

  virtual Handle StandardInput() = 0;
  virtual Handle StandardOutput() = 0;
  virtual Handle StandardError() = 0;

  // Grows or shrinks a block from `Reallocate(nullptr, n)` like realloc(3);
  // nullptr when memory is exhausted. The buffers whose size the input
  // drives go through here, so that a test can make any one of them fail.
  virtual void* Reallocate(void* block, std::size_t size) = 0;
  virtual void Free(void* block) = 0;

  // Where the call that returns to `address` lies in the program image, as
  // an offset that is the same from run to run.
  virtual std::uint32_t CodeOffset(const void* address) = 0;
  // The fatal report as the standard error stream takes it: where the
  // console uses another code page than files do, converted to it.
  virtual std::string ForStandardError(std::string_view text) = 0;

  // Ends the process. Nothing is written out on the way.
  [[noreturn]] virtual void Exit(int status) = 0;
};

}  // namespace keyseq
