#include "scan/key_scan.h"

#include <gtest/gtest.h>

#include <random>

#include "scan_harness.h"

namespace keyseq {
namespace {

std::string Scanned(const std::string& input, const std::string& keys) {
  return Transcript(ScanKeys, input, keys);
}

TEST(ScanKeys, FollowsTheKeysInOrderThroughTheLines) {
  struct Case {
    const char* what;
    std::string input, keys, expected;
  };
  const std::string k255(255, 'K');
  const Case cases[] = {
      {"worked example", "An apple and a pear.\nNothing here.\nA plum tree.\n",
       "apple\npear\nplum\n",
       "marker\nrecord APPLE, PEAR|An apple and a pear.\n"
       "record PLUM|A plum tree.\nclose\n"},
      {"keys out of order", "a b\na\n", "b\na\n",
       "marker\nrecord B|a b\nrecord A|a\nclose\n"},
      {"matches never overlap", "AAA\n", "aa\naa\n",
       "record AA|AAA\nmarker\nclose\n"},
      {"a repeated key is skipped while listed", "x a a\ny a\n", "a\na\nx\na\n",
       "record A|x a a\nrecord A|y a\nclose\n"},
      {"a key inside the found-key list counts as found",
       "catalog dog g, d cat\n", "catalog\ndog\ncat\ng, d\n",
       "record CATALOG, DOG|catalog dog g, d cat\nmarker\nclose\n"},
      {"the line is reported as read", "  MiXeD Case  \n", "mixed\n",
       "record MIXED|  MiXeD Case  \nclose\n"},
      {"an empty key never matches", "a\nb\nc\n", "a\n\nb\n",
       "marker\nrecord A|a\nclose\n"},
      {"an empty line gives a marker", "\nx\n", "x\n",
       "marker\nrecord X|x\nclose\n"},
      {"more keys than the text holds", "a b c\n", "a\nb\nz\nc\nq\n",
       "record A, B|a b c\nmarker\nmarker\nmarker\nclose\n"},
      {"a key that never occurs blocks the rest", "a\nb\n\nc\n", "z\na\n",
       "marker\nclose\n"},
      {"an empty key file", "a\n\nb\n", "", "marker\nclose\n"},
      {"a trailing empty line is a line", "a\n\n", "a\nb\n",
       "marker\nrecord A|a\nmarker\nclose\n"},
      {"a key found at the end leaves an empty rest", "ab\ncd\n", "b\nc\n",
       "marker\nrecord B|ab\nrecord C|cd\nclose\n"},
      {"a key is cut to 255 characters", "x" + k255 + "\n",
       std::string(300, 'k') + "\n",
       "record " + k255 + "|x" + k255 + "\nclose\n"},
      {"the found-key list is cut to 255 characters",
       std::string(130, 'a') + " " + std::string(130, 'b') + "\n",
       std::string(130, 'a') + "\n" + std::string(130, 'b') + "\n",
       "record " + std::string(130, 'A') + ", " + std::string(123, 'B') + "|" +
           std::string(130, 'a') + " " + std::string(130, 'b') + "\nclose\n"},
      {"letters above 127 by the code page", "caf\xe9 \xff\n",
       "CAF\xc9\n\x9f\n", "record CAF\xc9, \x9f|caf\xe9 \xff\nclose\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Scanned(c.input, c.keys), c.expected) << c.what;
  }
}

// The real scan against the rules written out step by step, on small
// random inputs over a tiny alphabet that holds every byte with a rule.
TEST(ScanKeys, AgreesWithTheStepByStepScan) {
  const std::string alphabet("abA ,\r\n\x1a\0\xe9", 10);
  std::mt19937 random(2024);
  auto text_of = [&](std::size_t max) {
    std::string text(random() % (max + 1), ' ');
    for (char& c : text) {
      // Line ends more often than the rest, so that files have lines.
      c = random() % 4 == 0 ? '\n' : alphabet[random() % alphabet.size()];
    }
    return text;
  };
  for (int i = 0; i < 3000; ++i) {
    std::string input = text_of(40);
    std::string keys = text_of(16);
    std::size_t block = 1 + random() % 3;
    ASSERT_EQ(Transcript(ScanKeys, input, keys, block),
              Transcript(ReferenceScan, input, keys, block))
        << "input " << testing::PrintToString(input) << "\nkeys "
        << testing::PrintToString(keys);
  }
}

}  // namespace
}  // namespace keyseq
