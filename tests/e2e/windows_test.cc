// What only the Windows build has: the command line that arrives as one
// string, the sharing rules kept by the system between processes, the ANSI
// code page's upper-casing and the fatal report in the OEM code page.
//
// launch.exe (tests/e2e/launch_win32.cc), built beside keyseq.exe, starts
// the program with an exact command line and plays the other process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "runner.h"

namespace keyseq::e2e {
namespace {

namespace fs = std::filesystem;

#define KEYSEQ_REQUIRE_WINDOWS_BUILD()                       \
  do {                                                       \
    if (::keyseq::e2e::TestingPosixBuild())                  \
      GTEST_SKIP() << "needs the program built for Windows"; \
  } while (false)

std::string LaunchExe() {
  return (fs::path(ProgramPath()).parent_path() / "launch.exe").string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts `argv` in the sandbox's folder with standard input from `in` (a
// descriptor) and standard output and error to files beside the folder;
// `close_stdout` starts it without a standard output.
pid_t StartIn(const Sandbox& sandbox, const std::vector<std::string>& argv,
              int in, bool close_stdout = false) {
  std::string io = sandbox.dir() + "/..";
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(sandbox.dir().c_str()) != 0) _exit(127);
    dup2(in, 0);
    int out =
        open((io + "/win-stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err =
        open((io + "/win-stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    if (close_stdout) close(1);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
      args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return pid;
}

Result WaitIn(const Sandbox& sandbox, pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  Result result;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::string io = sandbox.dir() + "/..";
  result.out = ReadAll(io + "/win-stdout");
  result.err = ReadAll(io + "/win-stderr");
  result.status_file = sandbox.Read("@Error.txt");
  return result;
}

Result RunIn(const Sandbox& sandbox, const std::vector<std::string>& argv,
             const std::string& stdin_bytes = "", bool close_stdout = false) {
  sandbox.Write("../win-stdin", stdin_bytes);
  int in = open(sandbox.Path("../win-stdin").c_str(), O_RDONLY | O_CLOEXEC);
  pid_t pid = StartIn(sandbox, argv, in, close_stdout);
  close(in);
  return WaitIn(sandbox, pid);
}

// The words that run launch.exe with `launch_args`.
std::vector<std::string> Launch(const std::vector<std::string>& launch_args) {
  std::vector<std::string> argv = Launcher();
  argv.push_back(LaunchExe());
  argv.insert(argv.end(), launch_args.begin(), launch_args.end());
  return argv;
}

// Writes the program's command line, its own name first, to a file beside
// the sandbox's folder and returns the file's name as the program sees it.
std::string CommandLineFile(const Sandbox& sandbox, const std::string& tail) {
  sandbox.Write("../cmdline",
                "\"" + ProgramSidePath(ProgramPath()) + "\"" + tail);
  return ProgramSidePath(sandbox.Path("../cmdline"));
}

Sandbox& WithExample(Sandbox& sandbox) {
  sandbox.Write("in.txt", kExampleInput);
  sandbox.Write("keys.txt", kExampleKeys);
  return sandbox;
}

class WindowsTest : public testing::Test {
 protected:
  void SetUp() override {
    KEYSEQ_REQUIRE_WINDOWS_BUILD();
    ASSERT_TRUE(fs::exists(LaunchExe())) << LaunchExe();
  }
};

// The command line after the program's name, and the parameters it must
// give; the files are named by the parameters, so the run shows how the
// line was split. With three the report lands in the third, with fewer on
// standard output; with one the keys come from standard input.
TEST_F(WindowsTest, CommandLineIsSplitAsOneString) {
  struct Case {
    std::string tail;
    std::vector<std::string> parameters;
  } cases[] = {
      {" a\"b c\"d e", {"ab cd", "e"}},
      {" \"a\"\"b\"", {"ab"}},
      {" \"\" b c", {"b", "c"}},
      {" a\tb   ", {"a", "b"}},
      {" \"unclosed text", {"unclosed text"}},
      {"\tin.txt\x01keys.txt\x1f\"my out.txt\"",
       {"in.txt", "keys.txt", "my out.txt"}},
      {" \"\"\"\" \tin.txt \"\" keys.txt", {"in.txt", "keys.txt"}},
      {" in\"\".txt keys.txt \"out\"\".txt\"\"",
       {"in.txt", "keys.txt", "out.txt"}},
      {" in.txt keys.txt out.txt ignored.txt \"",
       {"in.txt", "keys.txt", "out.txt"}},
      // Codes 128 to 255 are ordinary characters: é in the ANSI code page.
      {" in.txt k\xe9ys.txt", {"in.txt", "k\xe9ys.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.tail));
    Sandbox sandbox;
    // The names as Linux sees them: Wine keeps names in UTF-8.
    auto unix_name = [](std::string name) {
      std::string utf8;
      for (unsigned char byte : name) {
        if (byte < 0x80) {
          utf8 += static_cast<char>(byte);
        } else {  // Latin-1 letters of Windows-1252
          utf8 += static_cast<char>(0xC0 | (byte >> 6));
          utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
      }
      return utf8;
    };
    const std::vector<std::string>& p = c.parameters;
    sandbox.Write(unix_name(p[0]), kExampleInput);
    std::string stdin_bytes;
    if (p.size() >= 2) {
      sandbox.Write(unix_name(p[1]), kExampleKeys);
    } else {
      stdin_bytes = kExampleKeys;
    }
    Result result =
        RunIn(sandbox, Launch({CommandLineFile(sandbox, c.tail)}), stdin_bytes);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status_file, "");
    if (p.size() == 3) {
      EXPECT_EQ(result.out, kMarker);
      EXPECT_EQ(sandbox.Read(unix_name(p[2])), kExampleReport);
    } else {
      EXPECT_EQ(result.out, kMarker + kExampleReport);
    }
  }
}

// Another process holds one of the files open, as a reader or a writer
// that lets others only read: the run keeps the sharing rules, and a
// refused open empties nothing.
TEST_F(WindowsTest, FilesHeldByAnotherProcess) {
  const std::string kHeld = "held by another process\r\n";
  const std::string kReport = FatalReport("EInOutError", "I/O error 103.");
  struct Case {
    const char* file;
    const char* mode;
    int exit_status;
    std::string status_file;
    std::string err;  // masked
  } cases[] = {
      {"in.txt", "read", 0, "", ""},
      {"keys.txt", "read", 0, "", ""},
      {"in.txt", "write", 0,
       " \r\n >> Unable to open Input File for reading...\r\n\r\n", ""},
      {"keys.txt", "write", 0,
       " \r\n >> Unable to open Key Collection File for reading...\r\n\r\n",
       ""},
      {"out.txt", "read", 0,
       " \r\n >> Unable to open Output File for writing...\r\n\r\n", ""},
      {"out.txt", "write", 0,
       " \r\n >> Unable to open Output File for writing...\r\n\r\n", ""},
      // The status file cannot be opened: the run ends at its first line
      // end, and the file stays as the other process left it.
      {"@Error.txt", "read", 1, kHeld, kReport},
      {"@Error.txt", "write", 1, kHeld, kReport},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.mode);
    Sandbox sandbox;
    WithExample(sandbox);
    if (std::string(c.file) == "out.txt" ||
        std::string(c.file) == "@Error.txt") {
      sandbox.Write(c.file, kHeld);
    }
    std::string before = *sandbox.Read(c.file);
    Result result =
        RunIn(sandbox,
              Launch({"--hold", c.mode, ProgramSidePath(sandbox.Path(c.file)),
                      CommandLineFile(sandbox, " in.txt keys.txt out.txt")}));
    EXPECT_EQ(result.exit_status, c.exit_status);
    EXPECT_EQ(result.status_file, c.status_file);
    EXPECT_EQ(MaskOffset(result.err), c.err);
    EXPECT_EQ(sandbox.Read(c.file), before);
    if (c.status_file.empty()) {
      EXPECT_EQ(sandbox.Read("out.txt"), kExampleReport);
    }
  }
}

// While the run holds its files, other processes may read them but not
// write them. The run waits for its keys on standard input meanwhile.
TEST_F(WindowsTest, OtherProcessesMayOnlyReadTheRunsFiles) {
  Sandbox sandbox;
  WithExample(sandbox);
  int keys[2];
  ASSERT_EQ(pipe2(keys, O_CLOEXEC), 0);
  pid_t run =
      StartIn(sandbox, Launch({CommandLineFile(sandbox, " in.txt")}), keys[0]);
  close(keys[0]);
  auto try_open = [&](const char* mode, const std::string& name) {
    return RunCommand(
               Launch({"--open", mode, ProgramSidePath(sandbox.Path(name))}))
        .exit_status;
  };
  // The status file is held from the run's first step on; before, it does
  // not exist. Asking for it never disturbs the run.
  constexpr int kNotFound = 2;
  constexpr int kSharingViolation = 32;
  int status_file = kNotFound;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (status_file == kNotFound &&
         std::chrono::steady_clock::now() < deadline) {
    status_file = try_open("write", "@Error.txt");
  }
  EXPECT_EQ(status_file, kSharingViolation);
  // The Input File is opened right after the status file.
  int input = 0;
  while (input == 0 && std::chrono::steady_clock::now() < deadline) {
    input = try_open("write", "in.txt");
  }
  EXPECT_EQ(input, kSharingViolation);
  EXPECT_EQ(try_open("read", "@Error.txt"), 0);
  EXPECT_EQ(try_open("read", "in.txt"), 0);

  ASSERT_EQ(write(keys[1], kExampleKeys.data(), kExampleKeys.size()),
            static_cast<ssize_t>(kExampleKeys.size()));
  close(keys[1]);
  Result result = WaitIn(sandbox, run);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status_file, "");
  EXPECT_EQ(result.out, kMarker + kExampleReport);
}

// A named pipe as the Input File cannot be opened anew: the scan must
// still start at its first byte, after the emptiness test has read past
// more than a block of empty lines.
TEST_F(WindowsTest, NamedPipeAsInputFileIsScannedFromItsFirstByte) {
  for (std::size_t empty_lines : {0, 2, 70000}) {
    SCOPED_TRACE(empty_lines);
    Sandbox sandbox;
    sandbox.Write("keys.txt", "apple\n");
    sandbox.Write("../served", PipedText(empty_lines));
    std::string pipe = "keyseq-e2e-" + std::to_string(getpid());
    Result result = RunIn(
        sandbox,
        Launch({"--pipe", pipe, ProgramSidePath(sandbox.Path("../served")),
                CommandLineFile(
                    sandbox, " \\\\.\\pipe\\" + pipe + " keys.txt out.txt")}));
    ExpectPipedTextScanned(result, sandbox, empty_lines);
  }
}

// Characters from 128 to 255 are upper-cased by Windows-1252, the ANSI
// code page of the tests' locale: the keys, given in lower case, are found
// in lines that hold them in upper case, and the record shows them
// upper-cased; characters without an upper-case form there stay as they
// are.
TEST_F(WindowsTest, UpperCasesByTheAnsiCodePage) {
  struct Case {
    std::string key;
    std::string line;
    std::string recorded;
  } cases[] = {
      {"caf\xe9", "CAF\xc9 au lait", "CAF\xc9"},
      {"\xe0 la cr\xe8me", "tarte \xc0 LA CR\xc8ME", "\xc0 LA CR\xc8ME"},
      {"\xfe\xf0\xf8", "\xde\xd0\xd8", "\xde\xd0\xd8"},
      {"\x9a\x9c\x9e", "\x8a\x8c\x8e", "\x8a\x8c\x8e"},
      {"\xff", "\x9f", "\x9f"},
      // No upper-case form in Windows-1252.
      {"stra\xdf"
       "e \xb5",
       "STRA\xdf"
       "E \xb5",
       "STRA\xdf"
       "E \xb5"},
      {"\xf7", "\xf7", "\xf7"},
  };
  std::string keys, input, report;
  for (const Case& c : cases) {
    keys += c.key + "\r\n";
    input += c.line + "\r\n";
    report += Record(c.recorded, c.line);
  }
  report += kSeparator;
  Sandbox sandbox;
  sandbox.Write("in.txt", input);
  sandbox.Write("keys.txt", keys);
  Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.status_file, "");
  EXPECT_EQ(sandbox.Read("out.txt"), report);
}

// The program under a name outside ASCII: the fatal report names it in
// the OEM code page on standard error (é is 0x82 in code page 437) and in
// the ANSI one in the status file (0xE9 in Windows-1252).
TEST_F(WindowsTest, ReportNamesTheProgramInEachCodePage) {
  Sandbox sandbox;
  WithExample(sandbox);
  // Wine keeps names in UTF-8.
  const std::string program = sandbox.Path("k\xc3\xa9y.exe");
  fs::copy_file(ProgramPath(), program);
  std::vector<std::string> argv = Launcher();
  argv.insert(argv.end(), {program, "in.txt", "keys.txt"});
  // No standard output: the first write there fails.
  Result result = RunIn(sandbox, argv, kExampleKeys, true);
  const std::string message = "\r\nI/O error 105.\r\n\r\n";
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(
      MaskOffset(result.err),
      "Exception EInOutError in module k\x82y.exe at XXXXXXXX." + message);
  EXPECT_EQ(
      MaskOffset(result.status_file.value_or("(none)")),
      " \r\nException EInOutError in module k\xe9y.exe at XXXXXXXX." + message);
}

}  // namespace
}  // namespace keyseq::e2e
