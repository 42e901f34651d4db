// The line rules, read through text files over the in-memory platform with
// every block size that puts line ends on block boundaries.
#include "run/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "run/io.h"
#include "run/text_file.h"

namespace keyseq {
namespace {

using Lines = std::vector<std::string>;

const std::size_t kBlockLimits[] = {1, 2, 3, 1000000};

// Reads as the emptiness test does: while not at the end, a line.
Lines RestOf(TextFile& file) {
  Lines lines;
  while (!file.AtEndOfFile()) lines.emplace_back(file.ReadLine());
  return lines;
}

// Every line of `bytes`, read in blocks of at most `block_limit` bytes.
Lines ReadAll(const std::string& bytes, std::size_t block_limit) {
  FakePlatform platform;
  platform.files["in"] = bytes;
  platform.block_limit = block_limit;
  Io io(platform);
  TextFile file(io, "in");
  file.OpenForReading();
  Lines lines = RestOf(file);
  // Past the end every read is empty and no error.
  EXPECT_EQ(file.ReadLine(), "");
  EXPECT_EQ(file.ReadBoundedLine(), "");
  EXPECT_TRUE(file.AtEndOfFile());
  return lines;
}

TEST(ReadLine, SplitsAtLfAndCrLfAndDropsEveryCr) {
  struct Case {
    std::string bytes;
    Lines expected;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\n", {"a"}},
      {"a\nb", {"a", "b"}},
      {"\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"\n\nx\n", {"", "", "x"}},
      {"a\rb\r\n", {"ab"}},
      {"a\r", {"a"}},
      {"\r", {""}},
      {"a\r\r\nb\r", {"a", "b"}},
      {"\rx\r\r", {"x"}},
      // CR bytes inside lines after lines without any.
      {"ab\ncd\ne\rf\ngh\r\n\ri\r\nj\rk", {"ab", "cd", "ef", "gh", "i", "jk"}},
      // 0x1A ends the data wherever it stands.
      {"\x1a", {}},
      {"a\x1a"
       "b\n",
       {"a"}},
      {"a\n\x1a\n", {"a"}},
      {"a\r\x1a", {"a"}},
      {std::string("a\0b\n\0", 5),
       {std::string("a\0b", 3), std::string(1, '\0')}},
      {"\xff\xfe\n", {"\xff\xfe"}},
  };
  for (const Case& c : cases) {
    for (std::size_t limit : kBlockLimits) {
      EXPECT_EQ(ReadAll(c.bytes, limit), c.expected)
          << "bytes " << testing::PrintToString(c.bytes) << " block " << limit;
    }
  }
}

TEST(ReadLine, ReadsLinesLongerThanTheBuffer) {
  std::string longest(3 * LineReader::kBlockSize + 17, 'x');
  for (std::size_t limit : {std::size_t{1000}, LineReader::kBlockSize}) {
    EXPECT_EQ(ReadAll("a\n" + longest + "\r\nb", limit),
              (Lines{"a", longest, "b"}));
  }
}

// Lines over several blocks, most of them without CR and some with CR
// bytes inside, so that the bytes move in the buffer between the lines
// searched for CR.
TEST(ReadLine, DropsCrBytesInsideLinesAcrossBlocks) {
  std::string bytes;
  Lines expected;
  for (std::size_t i = 0; bytes.size() < 3 * LineReader::kBlockSize; ++i) {
    std::string line(i * 37 % 301, static_cast<char>('a' + i % 26));
    expected.push_back(line);
    if (i % 7 == 3 && !line.empty()) line.insert(i * 13 % line.size(), "\r");
    if (i % 11 == 5) line += "\r\r";
    bytes += line + (i % 2 ? "\r\n" : "\n");
  }
  for (std::size_t limit : {std::size_t{1000}, std::size_t{4103},
                            LineReader::kBlockSize, std::size_t{1} << 20}) {
    EXPECT_EQ(ReadAll(bytes, limit), expected) << "block " << limit;
  }
}

// A line that ends exactly where the buffer ends stays where it is while
// AtEndOfFile reads the next block.
TEST(ReadLine, LineSurvivesTheEndOfFileTest) {
  FakePlatform platform;
  std::string first(2 * LineReader::kBlockSize - 1, 'a');
  platform.files["in"] = first + "\n" + "next\n";
  platform.block_limit = LineReader::kBlockSize;
  Io io(platform);
  TextFile file(io, "in");
  file.OpenForReading();
  std::string_view line = file.ReadLine();
  EXPECT_FALSE(file.AtEndOfFile());
  EXPECT_EQ(line, first);
  EXPECT_EQ(file.ReadLine(), "next");
}

TEST(ReadBoundedLine, KeepsTheFirst255BytesWithoutCr) {
  std::string long_line(300, 'k');
  std::string with_cr = "\r" + std::string(254, 'c') + "\r\rde\rf";
  for (std::size_t limit : kBlockLimits) {
    FakePlatform platform;
    platform.files["keys"] = long_line + "\n" + with_cr + "\r\nlast";
    platform.block_limit = limit;
    Io io(platform);
    TextFile file(io, "keys");
    file.OpenForReading();
    EXPECT_EQ(file.ReadBoundedLine(), std::string(255, 'k'));
    EXPECT_EQ(file.ReadBoundedLine(), std::string(254, 'c') + "d");
    EXPECT_FALSE(file.AtEndOfFile());
    EXPECT_EQ(file.ReadBoundedLine(), "last");
    EXPECT_TRUE(file.AtEndOfFile());
  }
}

TEST(ReadBoundedLine, SkipsALongLineInBoundedMemory) {
  FakePlatform platform;
  platform.files["keys"] =
      std::string(20 * LineReader::kBlockSize, 'k') + "\nnext";
  Io io(platform);
  TextFile file(io, "keys");
  file.OpenForReading();
  EXPECT_EQ(file.ReadBoundedLine().size(), 255u);
  EXPECT_EQ(file.ReadBoundedLine(), "next");
  EXPECT_LE(platform.largest_allocation, 4 * LineReader::kBlockSize);
}

// The second opening starts at the first byte again; a pipe, which cannot
// be opened anew, is read again from what was kept of it.
TEST(OpenForReading, SecondOpeningStartsAgain) {
  for (bool pipe : {false, true}) {
    for (std::size_t limit : kBlockLimits) {
      FakePlatform platform;
      platform.files["in"] = "\n\nfirst\nsecond\nthird";
      if (pipe) platform.pipes.insert("in");
      platform.block_limit = limit;
      Io io(platform);
      TextFile file(io, "in");
      file.KeepForReopen();
      file.OpenForReading();
      EXPECT_EQ(file.ReadLine(), "");
      EXPECT_EQ(file.ReadLine(), "");
      EXPECT_EQ(file.ReadLine(), "first");
      file.OpenForReading();
      EXPECT_EQ(io.TakeStatus(), 0);
      EXPECT_EQ(RestOf(file), (Lines{"", "", "first", "second", "third"}))
          << "pipe " << pipe << " block " << limit;
    }
  }
}

// Read again from what was kept, a line with a CR inside loses it again.
TEST(OpenForReading, ReadingAgainDropsCrBytesAgain) {
  for (std::size_t limit : kBlockLimits) {
    FakePlatform platform;
    platform.files["in"] = "a\rb\ncc\ndd";
    platform.pipes.insert("in");
    platform.block_limit = limit;
    Io io(platform);
    TextFile file(io, "in");
    file.KeepForReopen();
    file.OpenForReading();
    EXPECT_EQ(file.ReadLine(), "ab");
    EXPECT_EQ(file.ReadLine(), "cc");
    file.OpenForReading();
    EXPECT_EQ(RestOf(file), (Lines{"ab", "cc", "dd"})) << "block " << limit;
  }
}

}  // namespace
}  // namespace keyseq
