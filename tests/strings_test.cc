#include "scan/strings.h"

#include <gtest/gtest.h>

namespace keyseq {
namespace {

TEST(Windows1252UpperCase, MapsLettersAndLeavesTheRest) {
  const CaseTable upper = Windows1252UpperCase();
  std::string expected_changes;
  for (int byte = 0; byte < 256; ++byte) {
    if (upper[byte] == byte) continue;
    char pair[16];
    std::snprintf(pair, sizeof pair, "%02X>%02X ", byte, upper[byte]);
    expected_changes += pair;
  }
  std::string letters;
  for (int byte = 'a'; byte <= 'z'; ++byte) {
    char pair[16];
    std::snprintf(pair, sizeof pair, "%02X>%02X ", byte, byte - 0x20);
    letters += pair;
  }
  EXPECT_EQ(expected_changes,
            letters +
                "9A>8A 9C>8C 9E>8E "
                "E0>C0 E1>C1 E2>C2 E3>C3 E4>C4 E5>C5 E6>C6 E7>C7 E8>C8 "
                "E9>C9 EA>CA EB>CB EC>CC ED>CD EE>CE EF>CF F0>D0 F1>D1 "
                "F2>D2 F3>D3 F4>D4 F5>D5 F6>D6 F8>D8 F9>D9 FA>DA FB>DB "
                "FC>DC FD>DD FE>DE FF>9F ");
}

TEST(UpperCase, KeepsTheLength) {
  std::string text("a\0z\xff\xdf\xb5 \xe9!", 9);
  UpperCase(text, Windows1252UpperCase());
  EXPECT_EQ(text, std::string("A\0Z\x9f\xdf\xb5 \xc9!", 9));
}

TEST(PositionOf, FindsTextByteForByte) {
  struct Case {
    std::string_view needle, haystack;
    std::size_t expected;
  };
  const Case cases[] = {
      {"", "abc", 0},     {"a", "", 0},          {"", "", 0},
      {"abcd", "abc", 0}, {"abc", "abc", 1},     {"c", "abcabc", 3},
      {"B", "abc", 0},    {"CAT", "CATALOG", 1}, {"G, D", "CATALOG, DOG", 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PositionOf(c.needle, c.haystack), c.expected)
        << c.needle << " in " << c.haystack;
  }
}

}  // namespace
}  // namespace keyseq
