// An in-memory platform for tests: files are byte strings, every operation
// is counted and logged, and any one of them can be made to fail.
#pragma once

#include <cstddef>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "run/platform.h"

namespace keyseq {

class FakePlatform : public Platform {
 public:
  // Thrown by Exit, so that a test gets control back.
  struct Exited {
    int status;
  };

  // The file system: names and their bytes.
  std::map<std::string, std::string> files;
  // Names that open as directories, and names of pipes (which cannot be
  // started again by opening them anew).
  std::set<std::string> directories;
  std::set<std::string> pipes;
  std::vector<std::string> parameters;
  std::string program_name = "keyseq";
  std::string standard_input;
  std::string standard_output;
  std::string standard_error;
  bool output_is_terminal = false;
  // The most bytes one Read delivers.
  std::size_t block_limit = std::numeric_limits<std::size_t>::max();

  // Operation number fail_at (from 1; 0 for none) of the opens, reads,
  // writes and closes fails with fail_code; with fail_from_then_on, every
  // one after it fails too.
  int fail_at = 0;
  int fail_code = 5;
  bool fail_from_then_on = false;
  int operations = 0;
  // Likewise for the allocations of Reallocate.
  int fail_allocation_at = 0;
  int allocations = 0;
  // What was done, a line an operation, e.g. "write @Error.txt 3".
  std::vector<std::string> log;
  // Every name opened for writing.
  std::set<std::string> written;
  // Blocks from Reallocate not yet freed, and the largest size asked for.
  std::set<void*> blocks;
  std::size_t largest_allocation = 0;

  ~FakePlatform() override;

  std::vector<std::string> Parameters() override { return parameters; }
  std::string ProgramName() override { return program_name; }
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
  std::uint32_t CodeOffset(const void*) override { return 0x1234; }
  std::string ForStandardError(std::string_view text) override {
    return std::string(text);
  }
  [[noreturn]] void Exit(int status) override { throw Exited{status}; }

 private:
  struct OpenFile {
    std::string name;
    bool writing;
    std::size_t position;
  };

  // Counts an operation; its failure code, or 0.
  int Fails();
  std::string* Content(Handle handle);

  std::map<Handle, OpenFile> open_;
  // Where each pipe has been read to: opening it again goes on from there.
  std::map<std::string, std::size_t> pipe_positions_;
  std::size_t input_position_ = 0;
  Handle next_handle_ = 3;
};

// The worked example: in.txt and keys.txt hold its text and keys, and the
// parameters name them and out.txt.
FakePlatform Example();

// Runs the tool over `platform`; the exit status, whether it returned or
// ended through Exit.
int RunOver(FakePlatform& platform);

}  // namespace keyseq
