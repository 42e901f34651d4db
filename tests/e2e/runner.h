// Runs the built keyseq program as a real process in a fresh temporary
// folder and collects the exact bytes of everything it leaves behind.
//
// The program under test and the command that starts it come from the
// environment, with defaults fixed when the tests were configured:
//
//   KEYSEQ_PROGRAM   the program (default: the keyseq of this build)
//   KEYSEQ_LAUNCHER  a command put in front of it, its words separated by
//                    blanks, e.g. "/path/to/tools/wine-run" for keyseq.exe;
//                    set and empty: none (default: the build's emulator)
//   KEYSEQ_TARGET    "posix" or "windows": what the program was built for
//                    (default: "windows" when the program ends in ".exe")
//   KEYSEQ_E2E_TIMEOUT  seconds a run may take before it is killed (20)
//
// The runner itself is always a Linux program.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "expected_texts.h"

namespace keyseq::e2e {

// The absolute path of the program under test.
const std::string& ProgramPath();
// The words put in front of the program (absolute where they are paths).
const std::vector<std::string>& Launcher();
// The program's file name without its directory, as its fatal report
// names it.
std::string ModuleName();
// True when the program is a POSIX build: facts that only hold there
// (symbolic links, /dev/full, /dev/fd/N, locks seen by fcntl, addr2line,
// address-space limits) can be tested.
bool TestingPosixBuild();

// False when the program cannot run under an address-space limit at all:
// a build with AddressSanitizer, whose runtime reserves terabytes of
// address space.
bool AddressSpaceCanBeLimited();

// How a test that needs a POSIX build skips itself otherwise.
#define KEYSEQ_REQUIRE_POSIX_BUILD()                       \
  do {                                                     \
    if (!::keyseq::e2e::TestingPosixBuild())               \
      GTEST_SKIP() << "needs the program built for POSIX"; \
  } while (false)

// A path in the Linux file system as the program names it: unchanged for a
// POSIX build, "Z:\..." for a Windows build under Wine.
std::string ProgramSidePath(const std::string& unix_path);

// The fatal report's location figure: "XXXXXXXX" in place of the 8
// upper-case hexadecimal digits of every "Exception ... at HHHHHHHH." line,
// so that whole messages can be compared. Anything else is left alone.
std::string MaskOffset(const std::string& text);
// The 8 digits of the first fatal report in `text`, if there is one.
std::optional<std::string> OffsetOf(const std::string& text);
// The fatal report as the program writes it, with the masked figure.
std::string FatalReport(const std::string& kind, const std::string& message);

enum class StandardOutput {
  kCaptured,    // a file, read back after the run
  kClosed,      // no descriptor 1 at all
  kBrokenPipe,  // a pipe whose reading end is already closed
};

struct Options {
  std::vector<std::string> args{};
  // Standard input: these bytes from a file, unless `stdin_fd` is given.
  std::string stdin_bytes{};
  // A descriptor of the test's to use as standard input (it should be
  // close-on-exec in the test so that the program holds the only copy).
  int stdin_fd = -1;
  StandardOutput stdout_mode = StandardOutput::kCaptured;
  // A descriptor of the test's to use as standard output instead (e.g. a
  // terminal); Result::out is then empty.
  int stdout_fd = -1;
  // Descriptor number in the program -> bytes it can read from a pipe
  // there; the runner writes them while the program runs, then closes it.
  std::map<int, std::string> pipes{};
  // RLIMIT_AS of the program, in bytes; 0 keeps the test's own limit.
  std::uint64_t address_space_limit = 0;
};

struct Result {
  // The exit status, or -1 when a signal ended the process.
  int exit_status = -1;
  int signal = 0;
  std::string out;  // standard output
  std::string err;  // standard error
  // "@Error.txt" of the working folder; nullopt when there is none.
  std::optional<std::string> status_file;
};

class Sandbox;

// A program started by Sandbox::Start and not yet waited for.
class Process {
 public:
  Process(Process&& other) noexcept;
  Process& operator=(Process&&) = delete;
  ~Process();  // kills and reaps a process that was not waited for
  Result Wait();
  pid_t pid() const { return pid_; }

 private:
  friend class Sandbox;
  Process(const Sandbox& sandbox, pid_t pid, std::string io_dir);

  const Sandbox* sandbox_;
  pid_t pid_;
  std::string io_dir_;
};

// A fresh folder that is the program's working directory, removed at the
// end of the test.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // The absolute path of the working folder, and of a name in it.
  const std::string& dir() const { return dir_; }
  std::string Path(const std::string& name) const;

  // Writes a file with exactly these bytes (its folders must exist).
  void Write(const std::string& name, const std::string& bytes) const;
  void MakeDir(const std::string& name) const;
  // The bytes of a file; nullopt when it does not exist.
  std::optional<std::string> Read(const std::string& name) const;
  // The names in the working folder, sorted.
  std::vector<std::string> List() const;

  Result Run(const Options& options) const;
  Result Run(const std::vector<std::string>& args) const {
    return Run(Options{.args = args});
  }
  // Starts the program and returns once the bytes of `options.pipes` are
  // written.
  Process Start(const Options& options) const;

 private:
  friend class Process;
  std::string root_;  // holds dir_ and the captured streams
  std::string dir_;
};

// The text that the pipe tests feed as Input File: `empty_lines` empty
// lines, then a line with the key "apple" and one without.
std::string PipedText(std::size_t empty_lines);
// Checks a run over PipedText(empty_lines) with the key "apple": scanned
// from its first byte, one marker for each empty line and one for the end.
void ExpectPipedTextScanned(const Result& result, Sandbox& sandbox,
                            std::size_t empty_lines);

// Runs a helper command (not the program under test) and returns what it
// wrote on standard output, with its exit status.
Result RunCommand(const std::vector<std::string>& argv);

}  // namespace keyseq::e2e
