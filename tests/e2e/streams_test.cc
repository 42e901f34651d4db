// The program's streams and fatal errors as a real process meets them:
// pipes, full devices, closed streams, other runs and other processes
// holding its files, memory limits, and the fatal report's location.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "runner.h"

namespace keyseq::e2e {
namespace {

Sandbox& WithExample(Sandbox& sandbox) {
  sandbox.Write("in.txt", kExampleInput);
  sandbox.Write("keys.txt", kExampleKeys);
  return sandbox;
}

// The end of a run after a fatal error: exit status 1, the report on
// standard error, and the status file's queued blank line followed by the
// same report.
void ExpectFatal(const Result& result, const std::string& report) {
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(MaskOffset(result.err), report);
  ASSERT_TRUE(result.status_file.has_value());
  EXPECT_EQ(MaskOffset(*result.status_file), " \r\n" + report);
}

// A pipe cannot be rewound: the scan must still start at its first byte,
// after the emptiness test has read past more than a block of empty lines.
TEST(PipeAsInputFile, IsScannedFromItsFirstByte) {
  KEYSEQ_REQUIRE_POSIX_BUILD();
  for (std::size_t empty_lines : {0, 2, 70000}) {
    SCOPED_TRACE(empty_lines);
    Sandbox sandbox;
    sandbox.Write("keys.txt", "apple\n");
    Result result = sandbox.Run({.args = {"/dev/fd/7", "keys.txt", "out.txt"},
                                 .pipes = {{7, PipedText(empty_lines)}}});
    ExpectPipedTextScanned(result, sandbox, empty_lines);
  }
}

TEST(FatalError, ReportWrittenToAFullDeviceIsDiskFull) {
  KEYSEQ_REQUIRE_POSIX_BUILD();
  Sandbox sandbox;
  Result result = WithExample(sandbox).Run({"in.txt", "keys.txt", "/dev/full"});
  ExpectFatal(result, FatalReport("EInOutError", "Disk full."));
  // Standard output is written out before the report.
  EXPECT_EQ(result.out, kMarker);
}

// Standard output cannot take the marker line at the end of the run.
TEST(FatalError, ClosedStandardOutput) {
  Sandbox sandbox;
  Result result =
      WithExample(sandbox).Run({.args = {"in.txt", "keys.txt", "out.txt"},
                                .stdout_mode = StandardOutput::kClosed});
  ExpectFatal(result, FatalReport("EInOutError", "I/O error 105."));
  EXPECT_EQ(sandbox.Read("out.txt"), kExampleReport);
}

// A reader that has gone is a failed write, not death by SIGPIPE.
TEST(FatalError, StandardOutputWithoutReader) {
  Sandbox sandbox;
  Result result =
      WithExample(sandbox).Run({.args = {"in.txt", "keys.txt"},
                                .stdout_mode = StandardOutput::kBrokenPipe});
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 1);
  ASSERT_TRUE(result.status_file.has_value());
  EXPECT_EQ(*result.status_file, " \r\n" + result.err);
  if (TestingPosixBuild()) {
    EXPECT_EQ(MaskOffset(result.err),
              FatalReport("EInOutError", "I/O error 32."));
  } else {
    EXPECT_TRUE(MaskOffset(result.err)
                    .starts_with(FatalReport("EInOutError", "").substr(0, 40)))
        << result.err;
  }
}

// A line larger than the memory the run may use ends it like a fatal
// input/output error. The file is sparse: writing it costs nothing.
TEST(FatalError, OutOfMemory) {
  KEYSEQ_REQUIRE_POSIX_BUILD();
  if (!AddressSpaceCanBeLimited()) GTEST_SKIP() << "a sanitizer build";
  Sandbox sandbox;
  sandbox.Write("keys.txt", "a\n");
  sandbox.Write("in.txt", "");
  ASSERT_EQ(truncate(sandbox.Path("in.txt").c_str(), 200 << 20), 0);
  Result result = sandbox.Run({.args = {"in.txt", "keys.txt", "out.txt"},
                               .address_space_limit = 100 << 20});
  ExpectFatal(result, FatalReport("EOutOfMemory", "Out of memory."));
  EXPECT_EQ(result.out, "");
}

// The figure of the fatal report locates the failing operation: the same
// in every run, different for different operations, and resolved by
// addr2line to the program's own sources.
TEST(FatalError, FigureLocatesTheFailingOperation) {
  KEYSEQ_REQUIRE_POSIX_BUILD();
  auto figure = [](const Options& options) {
    Sandbox sandbox;
    Result result = WithExample(sandbox).Run(options);
    EXPECT_EQ(result.exit_status, 1) << result.err;
    return OffsetOf(result.err).value_or("none");
  };
  Options disk_full{.args = {"in.txt", "keys.txt", "/dev/full"}};
  Options closed{.args = {"in.txt", "keys.txt", "out.txt"},
                 .stdout_mode = StandardOutput::kClosed};
  std::string first = figure(disk_full);
  EXPECT_EQ(figure(disk_full), first);
  std::string other = figure(closed);
  EXPECT_NE(other, first);
  for (const std::string& offset : {first, other}) {
    Result where = RunCommand({"addr2line", "-e", ProgramPath(), offset});
    EXPECT_EQ(where.exit_status, 0) << where.err;
    EXPECT_NE(where.out.find("/src/"), std::string::npos)
        << offset << " -> " << where.out;
  }
}

// Reads what the terminal's other side has received, until `wanted` has
// arrived, the program has closed it, or `seconds` have passed.
std::string ReadTerminal(int master, const std::string& wanted, int seconds) {
  std::string got;
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (got.find(wanted) == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    pollfd ready = {master, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    char buffer[4096];
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

// On a terminal, standard output is written out at every line end: the
// marker line shows while the run still waits for its next key.
TEST(StandardOutputOnATerminal, IsWrittenOutAtEveryLineEnd) {
  KEYSEQ_REQUIRE_POSIX_BUILD();
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(terminal, 0);
  termios raw;
  ASSERT_EQ(tcgetattr(terminal, &raw), 0);
  cfmakeraw(&raw);  // the bytes as written, CR LF untouched
  ASSERT_EQ(tcsetattr(terminal, TCSANOW, &raw), 0);

  Sandbox sandbox;
  sandbox.Write("in.txt", "\nxa\n");
  int keys[2];
  ASSERT_EQ(pipe2(keys, O_CLOEXEC), 0);
  ASSERT_EQ(write(keys[1], "a\n", 2), 2);
  Process run = sandbox.Start(
      {.args = {"in.txt"}, .stdin_fd = keys[0], .stdout_fd = terminal});
  close(keys[0]);
  close(terminal);
  // The empty first line gives the marker; A is then found in the last
  // line, and the run waits to learn whether more keys follow.
  std::string early = ReadTerminal(master, kMarker, 5);
  EXPECT_EQ(early, kMarker);
  close(keys[1]);
  Result result = run.Wait();
  std::string rest = ReadTerminal(master, Record("A", "xa") + kSeparator, 5);
  close(master);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.status_file, "");
  EXPECT_EQ(early + rest, kMarker + Record("A", "xa") + kSeparator);
}

// The kind of lock another process holds on `path`; F_UNLCK for none.
short LockOn(const std::string& path, short wanted) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return F_UNLCK;
  struct flock lock = {};
  lock.l_type = wanted;
  lock.l_whence = SEEK_SET;
  short seen = fcntl(fd, F_OFD_GETLK, &lock) == 0 ? lock.l_type : F_UNLCK;
  close(fd);
  return seen;
}

// A second run in the same folder cannot take the status file from a run
// that holds it: it ends with the report for code 103 and leaves the first
// run to finish as it would have alone.
TEST(SecondRun, WhileTheFirstHoldsTheStatusFileFails) {
  Sandbox sandbox;
  WithExample(sandbox);
  int keys[2];
  ASSERT_EQ(pipe2(keys, O_CLOEXEC), 0);
  // One parameter: the first run waits for its keys on standard input.
  Process first = sandbox.Start({.args = {"in.txt"}, .stdin_fd = keys[0]});
  close(keys[0]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  if (TestingPosixBuild()) {
    // The first run holds the status file for writing and the Input File
    // for reading, and other processes can see it.
    while (LockOn(sandbox.Path("in.txt"), F_WRLCK) != F_RDLCK &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(LockOn(sandbox.Path("@Error.txt"), F_RDLCK), F_WRLCK);
  } else {
    while (!sandbox.Read("@Error.txt") &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
  }

  Result second = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
  EXPECT_EQ(second.signal, 0);
  EXPECT_EQ(second.exit_status, 1);
  EXPECT_EQ(MaskOffset(second.err),
            FatalReport("EInOutError", "I/O error 103."));
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.status_file, "");
  EXPECT_FALSE(sandbox.Read("out.txt").has_value());

  ASSERT_EQ(write(keys[1], kExampleKeys.data(), kExampleKeys.size()),
            static_cast<ssize_t>(kExampleKeys.size()));
  close(keys[1]);
  Result result = first.Wait();
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status_file, "");
  EXPECT_EQ(result.out, kMarker + kExampleReport);
}

// Locks that another process holds on the run's files, as a run of the
// tool takes them: readers share, a writer excludes everyone else. A file
// the run may not write is left whole.
TEST(LocksOfAnotherProcess, FollowTheSharingRules) {
  KEYSEQ_REQUIRE_POSIX_BUILD();
  const std::string kHeld = "held by another run\r\n";
  const std::string kOutputMessage =
      " \r\n >> Unable to open Output File for writing...\r\n\r\n";
  struct Case {
    const char* file;
    short lock;
    int exit_status;
    std::string status_file;  // masked
  } cases[] = {
      {"in.txt", F_RDLCK, 0, ""},
      {"in.txt", F_WRLCK, 0,
       " \r\n >> Unable to open Input File for reading...\r\n\r\n"},
      {"out.txt", F_RDLCK, 0, kOutputMessage},
      {"@Error.txt", F_RDLCK, 1, kHeld},
      {"@Error.txt", F_WRLCK, 1, kHeld},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) +
                 (c.lock == F_RDLCK ? " read" : " write"));
    Sandbox sandbox;
    WithExample(sandbox);
    if (std::string(c.file) != "in.txt") sandbox.Write(c.file, kHeld);
    std::string before = *sandbox.Read(c.file);
    int fd = open(sandbox.Path(c.file).c_str(),
                  (c.lock == F_RDLCK ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct flock lock = {};
    lock.l_type = c.lock;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &lock), 0);

    Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
    close(fd);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, c.exit_status);
    EXPECT_EQ(result.status_file, c.status_file);
    if (c.exit_status == 1) {
      EXPECT_EQ(MaskOffset(result.err),
                FatalReport("EInOutError", "I/O error 103."));
    } else {
      EXPECT_EQ(result.err, "");
    }
    if (std::string(c.file) != "@Error.txt") {
      EXPECT_EQ(sandbox.Read(c.file), before);
    }
  }
}

}  // namespace
}  // namespace keyseq::e2e
