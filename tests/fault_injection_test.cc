// Every platform operation of a whole run fails in turn, once and from then
// on, and every allocation of a buffer runs out of memory in turn. The run
// must end on the path its rules give that failure: a guarded open reports
// in the status file and ends normally; a failed opening of the status file
// is reported as code 103; anything else writes out standard output, reports
// on standard error and in the status file, and ends with exit status 1.
// Nothing is ever written to the files the run reads, and nothing leaks.
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "expected_texts.h"
#include "fake_platform.h"

namespace keyseq {
namespace {

const std::string kUsageFirstLine = "The parameter is missing!\r\n";

const std::string kKeysMessage =
    " >> Unable to open Key Collection File for reading...";

std::string Report(std::string_view kind, std::string_view message) {
  return "Exception " + std::string(kind) +
         " in module keyseq at 00001234.\r\n" + std::string(message) +
         ".\r\n\r\n";
}

std::string MessageOf(int code) {
  switch (code) {
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    default: return "I/O error " + std::to_string(code);
  }
}

// One kind of run, with what its clean run leaves behind.
struct Shape {
  const char* name;
  FakePlatform (*make)();
  std::string standard_output;
  std::string status;
  // The messages of the three guarded opens, by the name opened.
  std::vector<std::pair<std::string, std::string>> guarded;
};

const std::vector<std::pair<std::string, std::string>> kGuarded = {
    {"open-read in.txt", " >> Unable to open Input File for reading..."},
    {"open-read keys.txt", kKeysMessage},
    {"open-write out.txt", " >> Unable to open Output File for writing..."},
};

const Shape kShapes[] = {
    {"worked example", Example, kMarker, "", kGuarded},
    {"open failure",
     [] {
       FakePlatform platform = Example();
       platform.files.erase("keys.txt");
       return platform;
     },
     "", OpenFailure(kKeysMessage), kGuarded},
    {"usage text",
     [] {
       FakePlatform platform = Example();
       platform.parameters.clear();
       return platform;
     },
     "", kUsage, kGuarded},
    {"empty input",
     [] {
       FakePlatform platform = Example();
       platform.files["in.txt"] = "\r\n\n\r\n";
       return platform;
     },
     "The InputFile is empty!\r\n", kUsage, kGuarded},
    {"one parameter",
     [] {
       FakePlatform platform = Example();
       platform.parameters = {"in.txt"};
       platform.standard_input = "apple\npear\nplum\n";
       return platform;
     },
     kMarker + kExampleReport, "", kGuarded},
    {"input is a pipe",
     [] {
       FakePlatform platform = Example();
       platform.pipes.insert("in.txt");
       return platform;
     },
     kMarker, "", kGuarded},
};

// Block sizes: many reads of a few bytes, and one read a file.
const std::size_t kBlockLimits[] = {7, std::numeric_limits<std::size_t>::max()};
const int kCodes[] = {5, 13, 100, 101};

FakePlatform Make(const Shape& shape, std::size_t block_limit) {
  FakePlatform platform = shape.make();
  platform.block_limit = block_limit;
  return platform;
}

// The bytes the clean run wrote to `name` through the operations before
// `n` (1-based), since its last opening for writing before `n`.
std::size_t WrittenBefore(const std::vector<std::string>& log, std::size_t n,
                          const std::string& name) {
  std::size_t bytes = 0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (log[i] == "open-write " + name) bytes = 0;
    if (log[i].starts_with("write " + name + " ")) {
      bytes += std::stoul(log[i].substr(name.size() + 7));
    }
  }
  return bytes;
}

bool Occurs(const std::vector<std::string>& log, std::size_t from,
            std::string_view prefix) {
  for (std::size_t i = from; i < log.size(); ++i) {
    if (log[i].starts_with(prefix)) return true;
  }
  return false;
}

// What a run whose operation n (and, with from_then_on, every later one)
// fails must leave behind, from the rules and the clean run's operations.
struct Expected {
  int exit_status = 1;
  // The code of the fatal report; 0 when the run ends normally.
  int code = 0;
  // nullopt: the status file is never created.
  std::optional<std::string> status;
  // The exact standard output, or nullopt when only a prefix of the clean
  // run's is known.
  std::optional<std::string> standard_output;
};

Expected Expect(const Shape& shape, const std::vector<std::string>& log,
                std::size_t n, int code, bool from_then_on) {
  const std::string& op = log[n - 1];
  Expected e;
  e.code = code;
  std::size_t status_opens = 0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    status_opens += log[i] == "open-write @Error.txt";
  }
  bool status_open_before = status_opens > 0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (log[i] == "close @Error.txt") status_open_before = false;
    if (log[i] == "open-write @Error.txt") status_open_before = true;
  }
  // Reads from operation n on: the text written so far is not yet all.
  bool reads_remain = Occurs(log, n - 1, "read ");
  std::size_t stdout_before = WrittenBefore(log, n, "<stdout>");
  std::string stdout_so_far = shape.standard_output.substr(0, stdout_before);

  if (op == "open-write @Error.txt") {
    // Not guarded: the next check finds the file not open.
    e.code = 103;
    e.status =
        status_opens == 0 ? std::nullopt : std::optional<std::string>(" \r\n");
    if (!reads_remain && !from_then_on)
      e.standard_output = shape.standard_output;
    if (from_then_on) e.standard_output = stdout_so_far;
    if (status_opens == 0 && !from_then_on) e.standard_output = "";
    return e;
  }
  for (const auto& [open, message] : shape.guarded) {
    bool first = true;
    for (std::size_t i = 0; i + 1 < n; ++i) first = first && log[i] != open;
    if (op != open || !first) continue;
    if (!from_then_on) {
      e.exit_status = 0;
      e.code = 0;
      e.status = OpenFailure(message);
    } else {
      // Writing the message out fails as well; the status file is closed.
      e.status = "";
    }
    e.standard_output = "";
    return e;
  }
  bool status_op =
      op.starts_with("write @Error.txt ") || op == "close @Error.txt";
  if (status_op && !from_then_on) {
    std::size_t written = WrittenBefore(log, n, "@Error.txt");
    bool reopened_later = Occurs(log, n, "open-write @Error.txt");
    if (reopened_later) {
      // The status file is closed on its way to the usage text: that
      // opening empties it, and the first usage line is queued when the
      // check finds the failure.
      e.status = kUsageFirstLine + Report("EInOutError", MessageOf(code));
    } else if (op == "close @Error.txt") {
      e.status = shape.status;
    } else if (n < log.size() && log[n] == "close @Error.txt") {
      // Written out on closing: the file is closed, nothing more is tried.
      e.status = shape.status.substr(0, written);
    } else {
      e.status = shape.status.substr(0, written) +
                 Report("EInOutError", MessageOf(code));
    }
    e.standard_output = reads_remain ? stdout_so_far : shape.standard_output;
    return e;
  }
  if (from_then_on) {
    // Nothing written after the failure reaches a file or stream. When the
    // status file is being closed for the usage text, opening it again
    // fails too, and the next line written finds it not open.
    if (status_op && Occurs(log, n, "open-write @Error.txt")) {
      e.code = 103;
      e.status = op == "close @Error.txt" ? " \r\n" : "";
    } else if (status_open_before || status_op) {
      e.status = shape.status.substr(0, WrittenBefore(log, n, "@Error.txt"));
    } else {
      e.status = shape.status;
    }
    e.standard_output = stdout_so_far;
    return e;
  }
  // A read, a write of the report or of standard output, a close, the
  // rewind: fatal. The status file holds its queued line and the report
  // while it is open; once closed, what it received.
  e.status = status_open_before
                 ? " \r\n" + Report("EInOutError", MessageOf(code))
                 : shape.status;
  if (op.starts_with("write <stdout> ")) {
    e.standard_output = stdout_so_far;
  } else if (!reads_remain) {
    e.standard_output = shape.standard_output;
  }
  return e;
}

void CheckUntouched(const FakePlatform& clean, const FakePlatform& run,
                    const std::string& what) {
  for (const char* name : {"in.txt", "keys.txt"}) {
    EXPECT_EQ(run.written.count(name), 0u) << what << " wrote " << name;
    EXPECT_EQ(run.files.count(name), clean.files.count(name)) << what;
    if (clean.files.count(name)) {
      EXPECT_EQ(run.files.at(name), clean.files.at(name)) << what;
    }
  }
  EXPECT_TRUE(run.blocks.empty()) << what << ": a buffer leaked";
}

// The report goes to standard error after standard output is written out.
void CheckReportOrder(const FakePlatform& run, const std::string& report,
                      const std::string& what) {
  std::size_t stderr_writes = 0, last_stdout = 0, stderr_at = 0;
  for (std::size_t i = 0; i < run.log.size(); ++i) {
    if (run.log[i].starts_with("write <stdout>")) last_stdout = i + 1;
    if (run.log[i].starts_with("write <stderr>")) {
      ++stderr_writes;
      stderr_at = i + 1;
      EXPECT_EQ(run.log[i], "write <stderr> " + std::to_string(report.size()))
          << what;
    }
  }
  EXPECT_EQ(stderr_writes, 1u) << what;
  EXPECT_GT(stderr_at, last_stdout) << what;
}

void RunWithFailure(const Shape& shape, std::size_t block_limit, int code,
                    bool from_then_on) {
  FakePlatform clean = Make(shape, block_limit);
  ASSERT_EQ(RunOver(clean), 0) << shape.name;
  ASSERT_EQ(clean.standard_output, shape.standard_output) << shape.name;
  ASSERT_EQ(clean.files["@Error.txt"], shape.status) << shape.name;
  ASSERT_EQ(clean.standard_error, "") << shape.name;
  ASSERT_EQ(static_cast<std::size_t>(clean.operations), clean.log.size());

  for (std::size_t n = 1; n <= clean.log.size(); ++n) {
    std::string what =
        std::string(shape.name) + ", block " + std::to_string(block_limit) +
        ", code " + std::to_string(code) +
        (from_then_on ? ", from then on" : ", once") + ", operation " +
        std::to_string(n) + " (" + clean.log[n - 1] + ")";
    FakePlatform run = Make(shape, block_limit);
    run.fail_at = static_cast<int>(n);
    run.fail_code = code;
    run.fail_from_then_on = from_then_on;
    int status = RunOver(run);
    // Up to the failure the run did what the clean run did.
    ASSERT_GE(run.log.size(), n) << what;
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_EQ(run.log[i], clean.log[i]) << what;
    }

    Expected e = Expect(shape, clean.log, n, code, from_then_on);
    EXPECT_EQ(status, e.exit_status) << what;
    if (e.status) {
      EXPECT_EQ(run.files.count("@Error.txt"), 1u) << what;
      EXPECT_EQ(run.files["@Error.txt"], *e.status) << what;
    } else {
      EXPECT_EQ(run.files.count("@Error.txt"), 0u) << what;
    }
    if (e.standard_output) {
      EXPECT_EQ(run.standard_output, *e.standard_output) << what;
    } else {
      EXPECT_TRUE(shape.standard_output.starts_with(run.standard_output))
          << what << ": " << run.standard_output;
    }
    if (e.code == 0) {
      EXPECT_EQ(run.standard_error, "") << what;
    } else {
      std::string report = Report("EInOutError", MessageOf(e.code));
      // From then on the write of the report fails too, but is tried.
      EXPECT_EQ(run.standard_error, from_then_on ? "" : report) << what;
      CheckReportOrder(run, report, what);
    }
    CheckUntouched(clean, run, what);
  }
}

TEST(FaultInjection, EveryOperationFailsOnceInTurn) {
  for (const Shape& shape : kShapes) {
    for (std::size_t block_limit : kBlockLimits) {
      for (int code : kCodes) RunWithFailure(shape, block_limit, code, false);
    }
  }
}

TEST(FaultInjection, EveryOperationFailsFromThenOn) {
  for (const Shape& shape : kShapes) {
    for (std::size_t block_limit : kBlockLimits) {
      for (int code : kCodes) RunWithFailure(shape, block_limit, code, true);
    }
  }
}

// A failure that is checked for must not let the run go on: after a fatal
// operation the run performs only the writes of the report.
TEST(FaultInjection, NothingButTheReportFollowsAFatalFailure) {
  for (const Shape& shape : kShapes) {
    FakePlatform clean = Make(shape, 7);
    RunOver(clean);
    for (std::size_t n = 1; n <= clean.log.size(); ++n) {
      FakePlatform run = Make(shape, 7);
      run.fail_at = static_cast<int>(n);
      run.fail_code = 13;
      if (RunOver(run) != 1) continue;
      std::size_t stderr_at = 0;
      for (std::size_t i = 0; i < run.log.size(); ++i) {
        if (run.log[i].starts_with("write <stderr>")) stderr_at = i;
      }
      for (std::size_t i = stderr_at + 1; i < run.log.size(); ++i) {
        EXPECT_TRUE(run.log[i].starts_with("write @Error.txt") ||
                    run.log[i] == "close @Error.txt")
            << shape.name << ", operation " << n << ": " << run.log[i];
      }
    }
  }
}

TEST(FaultInjection, EveryAllocationRunsOutOfMemoryInTurn) {
  const std::string report = Report("EOutOfMemory", "Out of memory");
  std::size_t shapes_with_allocations = 0;
  for (const Shape& shape : kShapes) {
    for (std::size_t block_limit : kBlockLimits) {
      FakePlatform clean = Make(shape, block_limit);
      ASSERT_EQ(RunOver(clean), 0) << shape.name;
      shapes_with_allocations += clean.allocations > 0;
      for (int n = 1; n <= clean.allocations; ++n) {
        std::string what = std::string(shape.name) + ", block " +
                           std::to_string(block_limit) + ", allocation " +
                           std::to_string(n);
        FakePlatform run = Make(shape, block_limit);
        run.fail_allocation_at = n;
        EXPECT_EQ(RunOver(run), 1) << what;
        EXPECT_EQ(run.standard_error, report) << what;
        // Buffers are allocated only while the status file holds its
        // queued line.
        EXPECT_EQ(run.files["@Error.txt"], " \r\n" + report) << what;
        EXPECT_TRUE(shape.standard_output.starts_with(run.standard_output))
            << what;
        CheckReportOrder(run, report, what);
        CheckUntouched(clean, run, what);
      }
    }
  }
  // The runs that read files do allocate.
  EXPECT_GE(shapes_with_allocations, 4u);
}

}  // namespace
}  // namespace keyseq
