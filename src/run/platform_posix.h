// The platform on POSIX systems.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "run/platform.h"

namespace keyseq {

class PosixPlatform : public Platform {
 public:
  PosixPlatform(int argc, char** argv);

  std::vector<std::string> Parameters() override;
  std::string ProgramName() override;
  Opened OpenForReading(const std::string& name) override;
  Opened OpenForWriting(const std::string& name) override;
  int Read(Handle handle, char* data, std::size_t size,
           std::size_t* got) override;
  int Write(Handle handle, const char* data, std::size_t size) override;
  int Close(Handle handle) override;
  bool IsTerminal(Handle handle) override;
  Handle StandardInput() override { return 0; }
  Handle StandardOutput() override { return 1; }
  Handle StandardError() override { return 2; }
  void* Reallocate(void* block, std::size_t size) override;
  void Free(void* block) override;
  std::uint32_t CodeOffset(const void* address) override;
  std::string ForStandardError(std::string_view text) override;
  [[noreturn]] void Exit(int status) override;

  // The status code for an error number.
  static int CodeOf(int error);

 private:
  // A file this run holds open: the sharing rules apply to the file, not
  // to the name it was opened by.
  struct OpenFile {
    int fd;
    dev_t device;
    ino_t inode;
    bool writing;
  };

  // Refuses `fd` when it is a directory or the sharing rules forbid it;
  // otherwise takes the lock that tells other processes. Returns 0 or a
  // status code.
  int Share(int fd, bool writing, bool* regular);

  std::vector<std::string> arguments_;
  std::vector<OpenFile> open_files_;
  // Standard streams that were closed when the run started.
  bool stream_closed_[3] = {false, false, false};
};

}  // namespace keyseq
