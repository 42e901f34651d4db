// Whole runs over the in-memory platform: every way a run can end.
#include "run/run_driver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "expected_texts.h"
#include "fake_platform.h"

namespace keyseq {
namespace {

TEST(Run, ScansAndLeavesTheStatusFileEmpty) {
  FakePlatform platform = Example();
  EXPECT_EQ(RunOver(platform), 0);
  EXPECT_EQ(platform.files["out.txt"], kExampleReport);
  EXPECT_EQ(platform.standard_output, "*** 3.1 ****\r\n");
  EXPECT_EQ(platform.files["@Error.txt"], "");
  EXPECT_EQ(platform.standard_error, "");
  EXPECT_EQ(platform.written, (std::set<std::string>{"@Error.txt", "out.txt"}));
}

TEST(Run, WithoutParametersWritesTheUsageText) {
  FakePlatform platform;
  EXPECT_EQ(RunOver(platform), 0);
  EXPECT_EQ(platform.files["@Error.txt"], kUsage);
  EXPECT_EQ(platform.standard_output, "");
  EXPECT_EQ(platform.written, std::set<std::string>{"@Error.txt"});
}

TEST(Run, ReportsAFileThatCannotBeOpened) {
  struct Case {
    const char* what;
    std::vector<std::string> parameters;
    std::string status;
    std::set<std::string> written;
  };
  const std::string input = " >> Unable to open Input File for reading...";
  const std::string keys =
      " >> Unable to open Key Collection File for reading...";
  const std::string output = " >> Unable to open Output File for writing...";
  const Case cases[] = {
      {"missing input", {"none", "keys.txt", "out.txt"}, input, {"@Error.txt"}},
      {"input is a directory",
       {"dir", "keys.txt", "out.txt"},
       input,
       {"@Error.txt"}},
      {"input is the status file",
       {"@Error.txt", "keys.txt", "out.txt"},
       input,
       {"@Error.txt"}},
      {"missing keys", {"in.txt", "none", "out.txt"}, keys, {"@Error.txt"}},
      {"keys are the status file",
       {"in.txt", "@Error.txt", "out.txt"},
       keys,
       {"@Error.txt"}},
      {"output is the input",
       {"in.txt", "keys.txt", "in.txt"},
       output,
       {"@Error.txt"}},
      {"output is the keys",
       {"in.txt", "keys.txt", "keys.txt"},
       output,
       {"@Error.txt"}},
      {"output is the status file",
       {"in.txt", "keys.txt", "@Error.txt"},
       output,
       {"@Error.txt"}},
      {"output is a directory",
       {"in.txt", "keys.txt", "dir"},
       output,
       {"@Error.txt"}},
  };
  for (const Case& c : cases) {
    FakePlatform platform = Example();
    platform.directories.insert("dir");
    platform.files["out.txt"] = "kept";
    platform.parameters = c.parameters;
    EXPECT_EQ(RunOver(platform), 0) << c.what;
    EXPECT_EQ(platform.files["@Error.txt"], OpenFailure(c.status)) << c.what;
    EXPECT_EQ(platform.written, c.written) << c.what;
    EXPECT_EQ(platform.files["out.txt"], "kept") << c.what;
    EXPECT_EQ(platform.files["in.txt"], Example().files["in.txt"]) << c.what;
    EXPECT_EQ(platform.standard_output, "") << c.what;
  }
}

TEST(Run, AnInputWithoutANonEmptyLineIsEmpty) {
  for (std::string input : {"", "\r\n\n\r\n", "\x1a",
                            "\n\x1a"
                            "text"}) {
    FakePlatform platform = Example();
    platform.files["in.txt"] = input;
    EXPECT_EQ(RunOver(platform), 0);
    EXPECT_EQ(platform.standard_output, "The InputFile is empty!\r\n");
    EXPECT_EQ(platform.files["@Error.txt"], kUsage);
    EXPECT_EQ(platform.files["out.txt"], "");
  }
}

// Leading empty lines are passed over by the emptiness test and scanned
// all the same, also when the Input File is a pipe.
TEST(Run, ScansFromTheFirstByteAfterTheEmptinessTest) {
  for (bool pipe : {false, true}) {
    FakePlatform platform = Example();
    platform.files["in.txt"] = "\n\n" + platform.files["in.txt"];
    if (pipe) platform.pipes.insert("in.txt");
    platform.block_limit = 3;
    EXPECT_EQ(RunOver(platform), 0);
    EXPECT_EQ(platform.files["out.txt"], kExampleReport);
    // One marker for each empty line, one for PLUM after the first line.
    EXPECT_EQ(platform.standard_output,
              "*** 3.1 ****\r\n*** 3.1 ****\r\n*** 3.1 ****\r\n");
  }
}

TEST(Run, WithOneParameterReadsKeysFromStandardInput) {
  FakePlatform platform = Example();
  platform.parameters = {"in.txt"};
  platform.standard_input = "apple\npear\nplum\n";
  EXPECT_EQ(RunOver(platform), 0);
  // The marker and the report share one stream, in the order written.
  EXPECT_EQ(platform.standard_output, "*** 3.1 ****\r\n" + kExampleReport);
  EXPECT_EQ(platform.files["@Error.txt"], "");
}

TEST(Run, WithTwoParametersWritesTheReportToStandardOutput) {
  FakePlatform platform = Example();
  platform.parameters = {"in.txt", "keys.txt"};
  EXPECT_EQ(RunOver(platform), 0);
  EXPECT_EQ(platform.standard_output, "*** 3.1 ****\r\n" + kExampleReport);
  EXPECT_EQ(platform.written, std::set<std::string>{"@Error.txt"});
}

const std::string kReportOf103 =
    "Exception EInOutError in module keyseq at 00001234.\r\n"
    "I/O error 103.\r\n\r\n";

TEST(Run, AStatusFileThatCannotBeCreatedIsFatal) {
  FakePlatform platform = Example();
  platform.fail_at = 1;
  EXPECT_EQ(RunOver(platform), 1);
  EXPECT_EQ(platform.standard_error, kReportOf103);
  EXPECT_EQ(platform.files.count("@Error.txt"), 0u);
  EXPECT_EQ(platform.written, std::set<std::string>{});
}

// After a fatal error the status file holds the report, so that it never
// looks like success.
TEST(Run, AFatalErrorIsReportedInTheStatusFile) {
  FakePlatform clean = Example();
  RunOver(clean);
  auto first_key_read =
      std::find(clean.log.begin(), clean.log.end(), "read keys.txt");
  ASSERT_NE(first_key_read, clean.log.end());

  FakePlatform platform = Example();
  platform.fail_at = static_cast<int>(first_key_read - clean.log.begin()) + 1;
  platform.fail_code = 13;
  EXPECT_EQ(RunOver(platform), 1);
  std::string report =
      "Exception EInOutError in module keyseq at 00001234.\r\n"
      "I/O error 13.\r\n\r\n";
  EXPECT_EQ(platform.standard_error, report);
  EXPECT_EQ(platform.files["@Error.txt"], " \r\n" + report);
}

TEST(Run, RunningOutOfMemoryIsFatal) {
  FakePlatform platform = Example();
  platform.fail_allocation_at = 1;
  EXPECT_EQ(RunOver(platform), 1);
  std::string report =
      "Exception EOutOfMemory in module keyseq at 00001234.\r\n"
      "Out of memory.\r\n\r\n";
  EXPECT_EQ(platform.standard_error, report);
  EXPECT_EQ(platform.files["@Error.txt"], " \r\n" + report);
  EXPECT_TRUE(platform.blocks.empty());
}

TEST(Run, AFailureToWriteOutStandardOutputAtTheEndIsFatal) {
  FakePlatform platform = Example();
  platform.parameters = {"in.txt", "keys.txt"};
  EXPECT_EQ(RunOver(platform), 0);
  int writes_to_standard_output = 0;
  for (const std::string& line : platform.log) {
    writes_to_standard_output += line.starts_with("write <stdout>");
  }
  ASSERT_EQ(writes_to_standard_output, 1);

  FakePlatform failing = Example();
  failing.parameters = {"in.txt", "keys.txt"};
  failing.fail_at = platform.operations;
  failing.fail_code = 105;
  EXPECT_EQ(RunOver(failing), 1);
  EXPECT_EQ(failing.standard_error,
            "Exception EInOutError in module keyseq at 00001234.\r\n"
            "I/O error 105.\r\n\r\n");
}

}  // namespace
}  // namespace keyseq
