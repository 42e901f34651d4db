// How a run ends and what it leaves in the status file, on a real file
// system: the outcomes of the status file, the opens that must fail, the
// command line as the process receives it, and long paths.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "runner.h"

namespace keyseq::e2e {
namespace {

const std::string kInputMessage =
    " \r\n >> Unable to open Input File for reading...\r\n\r\n";
const std::string kKeysMessage =
    " \r\n >> Unable to open Key Collection File for reading...\r\n\r\n";
const std::string kOutputMessage =
    " \r\n >> Unable to open Output File for writing...\r\n\r\n";
const std::string kOldReport = "the report of an earlier run\r\n";

TEST(NoParameters, LeaveOnlyTheUsageText) {
  // Empty items are no parameters.
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {""}, {"", ""}}) {
    SCOPED_TRACE(args.size());
    Sandbox sandbox;
    Result result = sandbox.Run(args);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.status_file, kUsage);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(sandbox.List(), std::vector<std::string>{"@Error.txt"});
  }
}

// A folder with the worked example, an earlier report, a subfolder and
// links; every case names some of them.
void WriteFixture(const Sandbox& sandbox) {
  sandbox.Write("in.txt", kExampleInput);
  sandbox.Write("keys.txt", kExampleKeys);
  sandbox.Write("out.txt", kOldReport);
  sandbox.MakeDir("sub");
  ASSERT_EQ(symlink("in.txt", sandbox.Path("in-link.txt").c_str()), 0);
  ASSERT_EQ(
      link(sandbox.Path("in.txt").c_str(), sandbox.Path("in-hard.txt").c_str()),
      0);
  ASSERT_EQ(symlink("@Error.txt", sandbox.Path("status-link.txt").c_str()), 0);
}

struct OpenFailure {
  const char* name;
  std::vector<std::string> args;
  const std::string* status;  // what @Error.txt holds afterwards
  bool posix_only = false;
};

class OpenFailureTest : public testing::TestWithParam<OpenFailure> {};

// A refused open ends the run normally, reports in the status file only,
// and leaves every file it named as it was: nothing is emptied or created.
TEST_P(OpenFailureTest, IsReportedInTheStatusFileAndHarmsNoFile) {
  const OpenFailure& c = GetParam();
  if (c.posix_only) KEYSEQ_REQUIRE_POSIX_BUILD();
  Sandbox sandbox;
  WriteFixture(sandbox);
  std::vector<std::string> before = sandbox.List();
  before.push_back("@Error.txt");
  std::sort(before.begin(), before.end());

  std::vector<std::string> args;
  for (const std::string& arg : c.args) {
    args.push_back(arg.starts_with("ABS:")
                       ? ProgramSidePath(sandbox.Path(arg.substr(4)))
                       : arg);
  }
  Result result = sandbox.Run(args);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.status_file, *c.status);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(sandbox.Read("in.txt"), kExampleInput);
  EXPECT_EQ(sandbox.Read("keys.txt"), kExampleKeys);
  EXPECT_EQ(sandbox.Read("out.txt"), kOldReport);
  EXPECT_EQ(sandbox.List(), before);
}

INSTANTIATE_TEST_SUITE_P(
    , OpenFailureTest,
    testing::Values(OpenFailure{"MissingInputFile",
                                {"nothing.txt", "keys.txt", "out.txt"},
                                &kInputMessage},
                    OpenFailure{"MissingKeyCollectionFile",
                                {"in.txt", "nothing.txt", "out.txt"},
                                &kKeysMessage},
                    OpenFailure{"OutputInAMissingFolder",
                                {"in.txt", "keys.txt", "nothing/out.txt"},
                                &kOutputMessage},
                    // A folder is no file.
                    OpenFailure{"FolderAsInputFile",
                                {"sub", "keys.txt", "out.txt"},
                                &kInputMessage},
                    OpenFailure{"FolderAsKeyCollectionFile",
                                {"in.txt", "sub", "out.txt"},
                                &kKeysMessage},
                    OpenFailure{"FolderAsOutputFile",
                                {"in.txt", "keys.txt", "sub"},
                                &kOutputMessage},
                    // The Output File may not be a file that is being read,
                    // under any of its names.
                    OpenFailure{"InputFileAsOutputFile",
                                {"in.txt", "keys.txt", "in.txt"},
                                &kOutputMessage},
                    OpenFailure{"InputFileAsOutputFileWithDot",
                                {"in.txt", "keys.txt", "./in.txt"},
                                &kOutputMessage},
                    OpenFailure{"InputFileAsOutputFileThroughParentFolder",
                                {"in.txt", "keys.txt", "sub/../in.txt"},
                                &kOutputMessage},
                    OpenFailure{"InputFileAsOutputFileByAbsolutePath",
                                {"in.txt", "keys.txt", "ABS:in.txt"},
                                &kOutputMessage},
                    OpenFailure{"InputFileAsOutputFileThroughSymbolicLink",
                                {"in.txt", "keys.txt", "in-link.txt"},
                                &kOutputMessage,
                                true},
                    OpenFailure{"InputFileAsOutputFileThroughHardLink",
                                {"in.txt", "keys.txt", "in-hard.txt"},
                                &kOutputMessage,
                                true},
                    OpenFailure{"InputFileLinkedAsOutputFile",
                                {"in-link.txt", "keys.txt", "in.txt"},
                                &kOutputMessage,
                                true},
                    OpenFailure{"KeyCollectionFileAsOutputFile",
                                {"in.txt", "keys.txt", "./keys.txt"},
                                &kOutputMessage},
                    // The status file is open for writing from the start.
                    OpenFailure{"StatusFileAsInputFile",
                                {"@Error.txt", "keys.txt", "out.txt"},
                                &kInputMessage},
                    OpenFailure{"StatusFileAsKeyCollectionFile",
                                {"in.txt", "./@Error.txt", "out.txt"},
                                &kKeysMessage},
                    OpenFailure{"StatusFileAsOutputFile",
                                {"in.txt", "keys.txt", "sub/../@Error.txt"},
                                &kOutputMessage},
                    OpenFailure{"StatusFileByAbsolutePathAsOutputFile",
                                {"in.txt", "keys.txt", "ABS:@Error.txt"},
                                &kOutputMessage},
                    OpenFailure{"StatusFileThroughSymbolicLinkAsOutputFile",
                                {"in.txt", "keys.txt", "status-link.txt"},
                                &kOutputMessage,
                                true}),
    [](const testing::TestParamInfo<OpenFailure>& info) {
      return info.param.name;
    });

// An Input File without a non-empty line: the notice on standard output,
// the usage text in the status file, and an Output File that was created
// (or emptied) and stays empty.
TEST(EmptyInputFile, GivesTheNoticeAndTheUsageText) {
  for (const std::string& input :
       {std::string(""), std::string("\n"), std::string("\r\n\n\r\n"),
        std::string("\r"), std::string("\x1a"),
        std::string("\n\x1a"
                    "text after the end\n")}) {
    SCOPED_TRACE(testing::PrintToString(input));
    Sandbox sandbox;
    sandbox.Write("in.txt", input);
    sandbox.Write("keys.txt", kExampleKeys);
    sandbox.Write("out.txt", kOldReport);
    Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "The InputFile is empty!\r\n");
    EXPECT_EQ(result.status_file, kUsage);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(sandbox.Read("out.txt"), "");
  }
}

// An empty status file is the caller's sign of success, whatever an
// earlier run left there.
TEST(SuccessfulRun, LeavesTheStatusFileEmpty) {
  Sandbox sandbox;
  sandbox.Write("in.txt", kExampleInput);
  sandbox.Write("keys.txt", kExampleKeys);
  sandbox.Write("@Error.txt", kUsage);
  sandbox.Write("out.txt", std::string(1000, 'x'));
  Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.status_file, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, kMarker);
  EXPECT_EQ(sandbox.Read("out.txt"), kExampleReport);
}

// Empty items are dropped, so the items after them move up; items after
// the third parameter are ignored.
TEST(CommandLine, SkipsEmptyItemsAndIgnoresExtraOnes) {
  Sandbox sandbox;
  sandbox.Write("in.txt", kExampleInput);
  sandbox.Write("keys.txt", kExampleKeys);
  Result result = sandbox.Run(
      {"", "in.txt", "", "keys.txt", "out.txt", "extra.txt", "more.txt"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.status_file, "");
  EXPECT_EQ(result.out, kMarker);
  EXPECT_EQ(sandbox.Read("out.txt"), kExampleReport);
  EXPECT_EQ(sandbox.List(), (std::vector<std::string>{"@Error.txt", "in.txt",
                                                      "keys.txt", "out.txt"}));
}

// A parameter longer than 255 characters names its file whole: cut, it
// would name a file the user never named.
TEST(CommandLine, UsesLongFileNamesWhole) {
  Sandbox sandbox;
  std::string folder;
  std::string last_but_one;
  for (char c : std::string("vwxyz")) {
    if (!folder.empty()) folder += "/";
    last_but_one = folder;
    folder += std::string(60, c);
    sandbox.MakeDir(folder);
  }
  std::string input = folder + "/in.txt";
  std::string output = folder + "/out.txt";
  ASSERT_GT(input.size(), 300u);
  sandbox.Write(input, kExampleInput);
  sandbox.Write("keys.txt", kExampleKeys);
  Result result = sandbox.Run({input, "keys.txt", output});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.status_file, "");
  EXPECT_EQ(result.out, kMarker);
  EXPECT_EQ(sandbox.Read(output), kExampleReport);
  // Nothing was created under the name's first 255 characters.
  std::vector<std::string> names;
  for (const auto& entry :
       std::filesystem::directory_iterator(sandbox.Path(last_but_one))) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{std::string(60, 'z')});
}

}  // namespace
}  // namespace keyseq::e2e
