// The key scan through the real program: small fixtures and the exact
// bytes of the report, the marker lines and the status file, with the
// report in the Output File, on standard output (two parameters) and with
// the keys on standard input as well (one parameter).
#include <gtest/gtest.h>

#include <cstdio>

#include "runner.h"

namespace keyseq::e2e {
namespace {

using namespace std::string_literals;

// What the scan writes, in order: marker lines (kMarker) and records, the
// closing separator last. The Output File receives the records, standard
// output the markers; when the report goes to standard output, both in
// this order.
using Stream = std::vector<std::string>;

struct ScanCase {
  std::string name;
  std::string input;
  std::string keys;
  Stream stream;
  // The Key Collection File is the Input File itself.
  bool keys_are_input = false;
};

std::string FoundKeysOf255() {
  // K000, K001, ... K041 fill 250 characters; ", K042" is cut to ", K04",
  // so the list holds 255 characters and its record line 257.
  std::string list;
  for (int i = 0; i <= 41; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "K%03d", i);
    list += (i ? ", " : "") + std::string(key);
  }
  return list + ", K04";
}

std::string KeysUpTo49(bool lines) {
  std::string text;
  for (int i = 0; i < 50; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "k%03d", i);
    text += key + std::string(lines ? "\n" : i < 49 ? " " : "\n");
  }
  return text;
}

std::string RepeatedExample() {
  std::string text;
  for (int i = 0; i < 10; ++i) text += kExampleInput;
  return text;
}

Stream RepeatedExampleStream() {
  Stream stream;
  for (int i = 0; i < 10; ++i) {
    stream.push_back(kMarker);
    stream.push_back(Record("APPLE, PEAR", "An apple and a pear."));
    stream.push_back(Record("PLUM", "A plum tree."));
  }
  stream.push_back(kSeparator);
  return stream;
}

const std::string kLongKeyLine = std::string(200, 'a') + std::string(55, 'b');

std::vector<ScanCase> Cases() {
  const std::string& M = kMarker;
  const std::string& End = kSeparator;
  return {
      {"WorkedExample",
       kExampleInput,
       kExampleKeys,
       {M, Record("APPLE, PEAR", "An apple and a pear."),
        Record("PLUM", "A plum tree."), End}},
      // More than one queue's worth of records and markers, interleaved.
      {"WorkedExampleTenTimes", RepeatedExample(),
       [] {
         std::string keys;
         for (int i = 0; i < 10; ++i) keys += kExampleKeys;
         return keys;
       }(),
       RepeatedExampleStream()},
      {"KeysOutOfOrder",
       "a b\na\n",
       "b\na\n",
       {M, Record("B", "a b"), Record("A", "a"), End}},
      {"RepeatedKeySkippedWhileFound",
       "a b a\nx a\n",
       "a\nb\na\n",
       {Record("A, B", "a b a"), End}},
      {"RepeatedKeySearchedAfterItsLineIsReported",
       "a\nb a\n",
       "a\nz\na\n",
       {M, Record("A", "a"), Record("A", "b a"), End}},
      // CAT lies inside CATALOG, "G, D" across the list's separator.
      {"KeyInsideTheFoundKeys",
       "catalog cat dog g, d x\n",
       "catalog\ncat\ndog\ng, d\nx\n",
       {Record("CATALOG, DOG, X", "catalog cat dog g, d x"), End}},
      {"LetterCaseIgnoredLineKeptAsRead",
       "An APPLE or a Caf\xc9  \r\n",
       "ApPlE\r\ncaf\xe9\r\n",
       {Record("APPLE, CAF\xc9", "An APPLE or a Caf\xc9  "), End}},
      {"EmptyKeyLineLeavesTheLine",
       "a\nx\nb b\n",
       "a\n\nb\n",
       {M, Record("A", "a"), Record("B", "b b"), End}},
      {"KeyAtTheEndOfALine",
       "x a\nb\n",
       "a\nb\n",
       {M, Record("A", "x a"), Record("B", "b"), End}},
      {"MoreKeysThanTheText",
       "a b c\n",
       "a\nb\nz\nc\nq\n",
       {Record("A, B", "a b c"), M, M, M, End}},
      // The key is its first 255 characters; the rest of its line is
      // skipped, so x is the next key.
      {"KeyLongerThan255",
       kLongKeyLine + "\nx\n",
       std::string(200, 'a') + std::string(100, 'b') + "\nx\n",
       {M, Record(std::string(200, 'A') + std::string(55, 'B'), kLongKeyLine),
        Record("X", "x"), End}},
      {"KeyThatNeverOccurs", "a\nb\n\nc\n", "z\na\n", {M, End}},
      {"LeadingEmptyLines",
       "\n\r\n\nan apple\n",
       "apple\n",
       {M, M, M, Record("APPLE", "an apple"), End}},
      {"EmptyKeyCollectionFile", "a\n\nb\n", "", {M, End}},
      {"TrailingEmptyLine", "a\n\n", "a\nb\n", {M, Record("A", "a"), M, End}},
      // "pear" is shorter than the key; the last line is read in full.
      {"LastLineWithoutLineEnd",
       "pear\nan apple",
       "apple",
       {M, Record("APPLE", "an apple"), End}},
      // Line 2 of the record holds 255 + 2 characters.
      {"FoundKeysCutAt255",
       KeysUpTo49(false),
       KeysUpTo49(true),
       {Record(FoundKeysOf255(), KeysUpTo49(false).substr(0, 249)), End}},
      {"CrInsideLines",
       "ap\rple p\rie\r\r\n",
       "app\rle\r\npie\n",
       {Record("APPLE, PIE", "apple pie"), End}},
      {"EndOfDataInsideALine",
       "apple\nbig pe\x1a"
       "ar\nmore pear\n",
       "apple\npear\x1a\nplum\n",
       {M, Record("APPLE", "apple"), End}},
      {"NulIsAnOrdinaryCharacter",
       "a\0b\n"s,
       "\0b\n"s,
       {Record("\0B"s, "a\0b"s), End}},
      // Two readers of one file, each at its own place.
      {"InputFileAsKeyCollectionFile",
       "x\ny x\n",
       "",
       {M, Record("X", "x"), Record("Y X", "y x"), End},
       true},
  };
}

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

enum class Parameters { kThree, kTwo, kOne };

class ScanTest
    : public testing::TestWithParam<std::tuple<ScanCase, Parameters>> {};

TEST_P(ScanTest, WritesTheReportAndTheMarkers) {
  const auto& [c, parameters] = GetParam();
  if (c.keys_are_input && parameters == Parameters::kOne) {
    GTEST_SKIP() << "the keys come from the Input File";
  }
  Sandbox sandbox;
  sandbox.Write("in.txt", c.input);
  sandbox.Write("keys.txt", c.keys);
  // The Output File is emptied before the report is written.
  sandbox.Write("out.txt", std::string(300, '#') + "\r\n");
  std::string keys = c.keys_are_input ? "in.txt" : "keys.txt";
  Options options;
  switch (parameters) {
    case Parameters::kThree: options.args = {"in.txt", keys, "out.txt"}; break;
    case Parameters::kTwo: options.args = {"in.txt", keys}; break;
    case Parameters::kOne:
      options.args = {"in.txt"};
      options.stdin_bytes = c.keys;
      break;
  }
  Result result = sandbox.Run(options);

  std::string markers, report, both;
  for (const std::string& item : c.stream) {
    (item == kMarker ? markers : report) += item;
    both += item;
  }
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.status_file, "");
  EXPECT_EQ(result.err, "");
  if (parameters == Parameters::kThree) {
    EXPECT_EQ(sandbox.Read("out.txt"), report);
    EXPECT_EQ(result.out, markers);
  } else {
    EXPECT_EQ(result.out, both);
  }
}

using ScanParam = testing::TestParamInfo<ScanTest::ParamType>;

std::string ScanName(const ScanParam& info) {
  static const char* const kSuffix[] = {"_ThreeParameters", "_TwoParameters",
                                        "_OneParameter"};
  return std::get<0>(info.param).name +
         kSuffix[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(, ScanTest,
                         testing::Combine(testing::ValuesIn(Cases()),
                                          testing::Values(Parameters::kThree,
                                                          Parameters::kTwo,
                                                          Parameters::kOne)),
                         ScanName);

}  // namespace
}  // namespace keyseq::e2e
