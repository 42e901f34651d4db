// The platform on Windows.
#pragma once

#include <string>
#include <vector>

#include "run/platform.h"

namespace keyseq {

class Win32Platform : public Platform {
 public:
  Win32Platform();

  std::vector<std::string> Parameters() override;
  std::string ProgramName() override;
  Opened OpenForReading(const std::string& name) override;
  Opened OpenForWriting(const std::string& name) override;
  int Read(Handle handle, char* data, std::size_t size,
           std::size_t* got) override;
  int Write(Handle handle, const char* data, std::size_t size) override;
  int Close(Handle handle) override;
  bool IsTerminal(Handle handle) override;
  Handle StandardInput() override { return standard_[0]; }
  Handle StandardOutput() override { return standard_[1]; }
  Handle StandardError() override { return standard_[2]; }
  void* Reallocate(void* block, std::size_t size) override;
  void Free(void* block) override;
  std::uint32_t CodeOffset(const void* address) override;
  std::string ForStandardError(std::string_view text) override;
  [[noreturn]] void Exit(int status) override;

  // The status code for a Windows error number.
  static int CodeOf(unsigned long error);

 private:
  // Whether `handle` is one of the standard streams that the process was
  // started without.
  bool Missing(Handle handle) const;
  bool Standard(Handle handle) const;

  // The standard input, output and error handles as the process got them.
  Handle standard_[3];
  bool missing_[3] = {false, false, false};
};

}  // namespace keyseq
