#include "run/command_line.h"

#include <gtest/gtest.h>

namespace keyseq {
namespace {

using Parameters = std::vector<std::string>;

TEST(SplitCommandLine, SplitsAsTheWindowsCommandLineIsRead) {
  struct Case {
    std::string line;
    Parameters expected;
  };
  const Case cases[] = {
      // Quoted stretches join the text around them into one item.
      {"keyseq a\"b c\"d e", {"ab cd", "e"}},
      {"keyseq \"a\"\"b\"", {"ab"}},
      // A pair of quotes that stands alone is no parameter.
      {"keyseq \"\" b c", {"b", "c"}},
      {"keyseq a \"\" \"\" b", {"a", "b"}},
      {"keyseq a\tb   ", {"a", "b"}},
      {"keyseq \"unclosed text", {"unclosed text"}},
      // A lone quote at the end adds nothing.
      {"keyseq a \"", {"a"}},
      {"keyseq", {}},
      {"", {}},
      {"keyseq    ", {}},
      // Every control character is a blank; bytes above 127 are not.
      {"keyseq a\x01"
       "b\x1f"
       "c\x7f\xe9",
       {"a", "b", "c\x7f\xe9"}},
      // The program's name follows the same rules.
      {"\"C:\\Program Files\\keyseq.exe\" in.txt", {"in.txt"}},
      {"\"\"keyseq in.txt", {"in.txt"}},
      // No escapes: a backslash is an ordinary character.
      {"keyseq a\\\"b c\"", {"a\\b c"}},
      // The line ends at a NUL.
      {std::string("keyseq a\0b", 10), {"a"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
  }
}

TEST(Parameter, IsEmptyPastTheLast) {
  Parameters parameters = {"in", "keys"};
  EXPECT_EQ(Parameter(parameters, 1), "in");
  EXPECT_EQ(Parameter(parameters, 2), "keys");
  EXPECT_EQ(Parameter(parameters, 3), "");
}

}  // namespace
}  // namespace keyseq
