// Text files over the in-memory platform: the write queues, standard
// output, and the check that ends the run after a failure.
#include "run/text_file.h"

#include <gtest/gtest.h>

#include <functional>

#include "fake_platform.h"
#include "run/io.h"

namespace keyseq {
namespace {

std::string Report(std::string_view message) {
  return "Exception EInOutError in module keyseq at 00001234.\r\n" +
         std::string(message) + "\r\n\r\n";
}

// Runs `body` and returns the exit status it ended the run with.
int ExitStatusOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const FakePlatform::Exited& exited) {
    return exited.status;
  }
  ADD_FAILURE() << "the run did not end";
  return -1;
}

TEST(WriteQueue, WritesWholeBlocksThenTheRestOnClosing) {
  FakePlatform platform;
  Io io(platform);
  TextFile file(io, "out");
  file.OpenForWriting();
  file.WriteText(std::string(127, 'a'));
  EXPECT_EQ(platform.files["out"].size(), 0u);
  file.WriteText("b");
  EXPECT_EQ(platform.files["out"].size(), 128u);
  file.WriteLine(std::string(300, 'c'));
  EXPECT_EQ(platform.files["out"].size(), 384u);
  file.CloseFile();
  EXPECT_EQ(platform.files["out"],
            std::string(127, 'a') + "b" + std::string(300, 'c') + "\r\n");
}

TEST(WriteQueue, OpeningAgainWritesOutThenEmpties) {
  FakePlatform platform;
  Io io(platform);
  TextFile file(io, "out");
  file.OpenForWriting();
  file.WriteLine("first");
  file.OpenForWriting();
  file.WriteLine("second");
  file.CloseFile();
  EXPECT_EQ(platform.files["out"], "second\r\n");
  EXPECT_EQ(platform.log, (std::vector<std::string>{
                              "open-write out", "write out 7", "close out",
                              "open-write out", "write out 8", "close out"}));
}

TEST(StandardOutput, IsWrittenOutWhenFullAndAtTheEnd) {
  FakePlatform platform;
  Io io(platform);
  io.Output().WriteLine("line");
  EXPECT_EQ(platform.standard_output, "");
  io.Finish();
  EXPECT_EQ(platform.standard_output, "line\r\n");
}

TEST(StandardOutput, OnATerminalIsWrittenOutAtEveryLineEnd) {
  FakePlatform platform;
  platform.output_is_terminal = true;
  Io io(platform);
  io.Output().WriteText("li");
  EXPECT_EQ(platform.standard_output, "");
  io.Output().WriteLine("ne");
  EXPECT_EQ(platform.standard_output, "line\r\n");
}

// A file bound to standard output shares its queue: lines arrive whole and
// in the order written.
TEST(StandardOutput, IsOneStreamForEveryFileBoundToIt) {
  FakePlatform platform;
  Io io(platform);
  TextFile report(io, "");
  report.OpenForWriting();
  std::string expected;
  for (int i = 0; i < 20; ++i) {
    report.WriteLine("--------------");
    io.Output().WriteLine("*** 3.1 ****");
    expected += "--------------\r\n*** 3.1 ****\r\n";
  }
  report.CloseFile();
  EXPECT_EQ(platform.standard_output, expected);
  // Closing it leaves standard output open.
  io.Output().WriteLine("after");
  io.Finish();
  EXPECT_EQ(platform.standard_output, expected + "after\r\n");
}

TEST(Check, EndsTheRunWhenAnOperationDoesNotFitTheFile) {
  struct Case {
    const char* what;
    std::function<void(TextFile&)> operation;
    bool open_for_writing;
    std::string message;
  };
  const Case cases[] = {
      {"read a closed file", [](TextFile& f) { f.ReadLine(); }, false,
       "I/O error 103."},
      {"close a closed file", [](TextFile& f) { f.CloseFile(); }, false,
       "I/O error 103."},
      {"write a closed file", [](TextFile& f) { f.WriteLine("x"); }, false,
       "I/O error 103."},
      {"test the end of a file being written",
       [](TextFile& f) { f.AtEndOfFile(); }, true, "I/O error 104."},
      {"read a file being written", [](TextFile& f) { f.ReadBoundedLine(); },
       true, "I/O error 104."},
  };
  for (const Case& c : cases) {
    FakePlatform platform;
    Io io(platform);
    TextFile file(io, "f");
    if (c.open_for_writing) file.OpenForWriting();
    EXPECT_EQ(ExitStatusOf([&] { c.operation(file); }), 1) << c.what;
    EXPECT_EQ(platform.standard_error, Report(c.message)) << c.what;
  }
}

TEST(Check, EndsTheRunWhenWritingAFileBeingRead) {
  FakePlatform platform;
  platform.files["in"] = "x";
  Io io(platform);
  TextFile file(io, "in");
  file.OpenForReading();
  EXPECT_EQ(ExitStatusOf([&] { file.WriteText("y"); }), 1);
  EXPECT_EQ(platform.standard_error, Report("I/O error 105."));
  EXPECT_EQ(platform.files["in"], "x");
}

// Standard output is written out before the report; the queues of the
// run's own files are lost.
TEST(Check, WritesOutStandardOutputFirst) {
  FakePlatform platform;
  platform.files["in"] = "x";
  Io io(platform);
  io.Output().WriteLine("before");
  TextFile out(io, "out");
  out.OpenForWriting();
  out.WriteLine("queued");
  TextFile in(io, "in");
  in.OpenForReading();
  platform.fail_at = platform.operations + 1;
  platform.fail_code = 2;
  EXPECT_EQ(ExitStatusOf([&] { in.ReadLine(); }), 1);
  EXPECT_EQ(platform.standard_output, "before\r\n");
  EXPECT_EQ(platform.standard_error, Report("File not found."));
  EXPECT_EQ(platform.files["out"], "");
}

TEST(Check, ReportsTheLastCodeRecorded) {
  FakePlatform platform;
  platform.files["in"] = "x";
  Io io(platform);
  TextFile in(io, "in");
  TextFile missing(io, "missing");
  // An unchecked open that fails, then a successful one: the check after
  // the next operation reports the failure.
  missing.OpenForReading();
  in.OpenForReading();
  EXPECT_EQ(ExitStatusOf([&] { in.ReadLine(); }), 1);
  EXPECT_EQ(platform.standard_error, Report("File not found."));
}

TEST(WriteQueue, AFailedWriteDropsTheQueue) {
  FakePlatform platform;
  Io io(platform);
  TextFile file(io, "out");
  file.OpenForWriting();
  platform.fail_at = platform.operations + 1;
  platform.fail_code = 101;
  EXPECT_EQ(ExitStatusOf([&] { file.WriteText(std::string(200, 'x')); }), 1);
  EXPECT_EQ(platform.files["out"], "");
  EXPECT_EQ(platform.standard_error, Report("Disk full."));
}

}  // namespace
}  // namespace keyseq
