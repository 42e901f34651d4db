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
std::size_t FindInCopy(std::string key, std::string text) {
  if (key.empty()) return KeyFinder::kNotFound;
  UpperCase(text, Upper());
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

TEST(KeyFinder, AgreesWithAnUpperCasedCopy) {
  std::mt19937 random(7);
  const std::string alphabet("aAbB \xe9\xc9\xff\x9f\0,", 12);
  auto text_of = [&](std::size_t max) {
    std::string text(random() % (max + 1), ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    return text;
  };
  for (int i = 0; i < 20000; ++i) {
    std::string key = text_of(4);
    UpperCase(key, Upper());
    std::string text = text_of(24);
    ASSERT_EQ(KeyFinder(key, Upper()).Find(text), FindInCopy(key, text))
        << "key " << key << " text " << text;
  }
}

}  // namespace
}  // namespace keyseq
