#include "scan/key_finder.h"

#include <gtest/gtest.h>

#include <random>

namespace keyseq {
namespace {

const CaseTable& Upper() {
  static const CaseTable upper = Windows1252UpperCase();
  return upper;
}

// The search as a plain loop over an upper-cased copy.
std::size_t FindInCopy(const std::string& key, std::string text,
                       const CaseTable& upper) {
  if (key.empty()) return KeyFinder::kNotFound;
  UpperCase(text, upper);
  return text.find(key);
}

TEST(KeyFinder, FindsTheLeftmostMatchWhateverTheCase) {
  struct Case {
    std::string key, text;
    std::size_t expected;
  };
  const Case cases[] = {
      {"APPLE", "An apple and a pear.", 3},
      {"PEAR", "pear", 0},
      {"AA", "aaa", 0},
      {"A B", "xa B", 1},
      {"", "abc", KeyFinder::kNotFound},
      {"ABCD", "abc", KeyFinder::kNotFound},
      {"Z", "", KeyFinder::kNotFound},
      {"\xc9T\xc9", "\xe9t\xe9", 0},
      {"\x9f", "\xff", 0},
      // Bytes without an upper-case form match only themselves.
      {"\xdf", "\xdf", 0},
      {std::string("\0A", 2), std::string("b\0a", 3), 1},
      {"ZQ", "zzzzq", 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyFinder(c.key, Upper()).Find(c.text), c.expected) << c.key;
  }
}

// A table under which three bytes upper-case to 'A' and none to 'B'.
const CaseTable& Crowded() {
  static const CaseTable crowded = [] {
    CaseTable table = Windows1252UpperCase();
    table['@'] = 'A';
    table['B'] = 'C';
    table['b'] = 'C';
    return table;
  }();
  return crowded;
}

TEST(KeyFinder, FindsOverTextsOfManyBlocks) {
  struct Case {
    const CaseTable* upper;
    std::string key, text;
    std::size_t expected;
    // Only the first `visible` bytes of `text` are searched; the rest
    // would complete a match if the search read past the end.
    std::size_t visible = std::string::npos;
  };
  const std::string blanks(40, ' ');
  const Case cases[] = {
      // The match in the last bytes, reached by a block overlapping the
      // one before.
      {&Upper(), "XYZ", blanks + "xyz", 40},
      {&Upper(), "XYZ", blanks + "xy", KeyFinder::kNotFound},
      // Both anchors match short of the end, but the key does not fit.
      {&Upper(), "ZQ" + std::string(20, ' '), blanks + "zq" + blanks, 40},
      {&Upper(), "ZQ" + std::string(41, ' '), blanks + "zq" + blanks,
       KeyFinder::kNotFound},
      {&Upper(), "ZQ" + std::string(41, ' '), blanks + "zq" + blanks + " ",
       KeyFinder::kNotFound, 82},
      {&Upper(), "XYZ", blanks + "xyz", KeyFinder::kNotFound, 42},
      {&Upper(), "XYZ", "xyz", KeyFinder::kNotFound, 2},
      // The first of several candidates in a block that matches.
      {&Upper(), "QAZ", "q q q qaq qaz qaz" + blanks, 10},
      // Anchors far apart: the key is longer than a block.
      {&Upper(), "J" + std::string(30, '.') + "K",
       "j" + std::string(30, '.') + "j" + std::string(30, '.') + "k", 31},
      // A byte with three forms is never an anchor; a key of such bytes
      // only is compared at every position.
      {&Crowded(), "AZ", blanks + "@z", 40},
      {&Crowded(), "AAA", blanks + "a@A", 40},
      {&Crowded(), "AAA", blanks + "a@", KeyFinder::kNotFound},
      // No byte upper-cases to B under this table.
      {&Crowded(), "B", blanks + "bB", KeyFinder::kNotFound},
  };
  for (const Case& c : cases) {
    std::string_view text = std::string_view(c.text).substr(0, c.visible);
    EXPECT_EQ(KeyFinder(c.key, *c.upper).Find(text), c.expected)
        << c.key << " in " << text;
  }
}

// Random keys and texts over a small alphabet, against a plain loop over
// an upper-cased copy: short texts, texts of a few blocks with keys of
// any length, and a table that gives some bytes three forms and some none.
TEST(KeyFinder, AgreesWithAnUpperCasedCopy) {
  struct Mix {
    const CaseTable* upper;
    std::string alphabet;
    std::size_t max_key, max_text;
  };
  const Mix mixes[] = {
      {&Upper(), std::string("aAbB \xe9\xc9\xff\x9f\0,", 12), 4, 24},
      {&Upper(), std::string("aAbB \xe9\xc9\xff\x9f\0,", 12), 20, 70},
      {&Upper(), "aab", 3, 60},
      {&Crowded(), "aA@bBz", 5, 60},
  };
  std::mt19937 random(7);
  for (const Mix& mix : mixes) {
    auto text_of = [&](std::size_t max) {
      std::string text(random() % (max + 1), ' ');
      for (char& c : text) c = mix.alphabet[random() % mix.alphabet.size()];
      return text;
    };
    for (int i = 0; i < 20000; ++i) {
      std::string key = text_of(mix.max_key);
      UpperCase(key, *mix.upper);
      std::string text = text_of(mix.max_text);
      // Keys taken from the text are found more often.
      if (i % 2 == 1 && text.size() > 0) {
        std::size_t at = random() % text.size();
        key = text.substr(at, 1 + random() % mix.max_key);
        UpperCase(key, *mix.upper);
      }
      ASSERT_EQ(KeyFinder(key, *mix.upper).Find(text),
                FindInCopy(key, text, *mix.upper))
          << "key " << key << " text " << text;
    }
  }
}

}  // namespace
}  // namespace keyseq
