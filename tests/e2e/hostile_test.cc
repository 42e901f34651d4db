// Hostile input for the real program: binary bytes, 0x1A anywhere, lines at
// and around the bounded length, very many keys, a key file that is the
// Input File, a device, a key line too long to hold, and files changed under
// the run. Each gives its result or a clean fatal report; none crashes or
// hangs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "runner.h"

namespace keyseq::e2e {
namespace {

void ExpectClean(const Result& result) {
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status_file, "");
}

std::string Markers(std::size_t count) {
  std::string markers;
  for (std::size_t i = 0; i < count; ++i) markers += kMarker;
  return markers;
}

const std::string kEmptyNotice = "The InputFile is empty!\r\n";

// Every byte value: LF and CR end lines, 0x1A ends the data, the rest are
// characters, NUL and the control characters included.
TEST(Hostile, EveryByteValueIsACharacterOrALineRule) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  std::string line1 = all.substr(0, 10);                       // 00..09
  std::string line2 = all.substr(11, 2) + all.substr(14, 12);  // 0B 0C 0E..19
  Sandbox sandbox;
  sandbox.Write("in.txt", all);
  sandbox.Write("keys.txt", std::string("\x05\x06\n\x0b\x0c\n"));
  Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
  ExpectClean(result);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(sandbox.Read("out.txt"),
            Record("\x05\x06", line1) + Record("\x0b\x0c", line2) + kSeparator);
}

// Bytes 128 to 255 and NUL are ordinary characters in keys and lines
// alike, and a reported line comes back byte for byte.
TEST(Hostile, HighBytesAndNulInKeysAndLines) {
  std::string low, high;
  for (int c = 0; c < 256; ++c) {
    if (c == 0x1a || c == '\n' || c == '\r') continue;
    (c < 128 ? low : high) += static_cast<char>(c);
  }
  Sandbox sandbox;
  sandbox.Write("in.txt", low + "\n" + high + "\n");
  // Found at the start of the second line; three NUL bytes are not there.
  sandbox.Write("keys.txt", "\x80\x81\x82\n" + std::string(3, '\0') + "\n");
  Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
  ExpectClean(result);
  EXPECT_EQ(sandbox.Read("out.txt"), Record("\x80\x81\x82", high) + kSeparator);
  // The NUL key against the empty line read past the end.
  EXPECT_EQ(result.out, kMarker);
}

// The Input File "an apple\r\nthe end\r\n" with 0x1A at each position: the
// data ends there; the first line, when there is one, is reported with A.
TEST(Hostile, EndOfDataByteAtEveryPosition) {
  const std::string text = "an apple\r\nthe end\r\n";
  for (std::size_t at = 0; at <= text.size(); ++at) {
    SCOPED_TRACE(at);
    std::string input = text;
    input.insert(at, 1, '\x1a');
    std::string data = text.substr(0, at);
    std::string first = data.substr(0, data.find('\n'));
    std::erase(first, '\r');
    Sandbox sandbox;
    sandbox.Write("in.txt", input);
    sandbox.Write("keys.txt", "a\n");
    Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    if (first.empty()) {
      EXPECT_EQ(result.out, kEmptyNotice);
      EXPECT_EQ(result.status_file, kUsage);
      EXPECT_EQ(sandbox.Read("out.txt"), "");
    } else {
      EXPECT_EQ(result.status_file, "");
      EXPECT_EQ(sandbox.Read("out.txt"), Record("A", first) + kSeparator);
      // Only marker lines on standard output.
      EXPECT_EQ(result.out, Markers(result.out.size() / kMarker.size()));
    }
  }
}

// A line of n bytes and a key of the same n bytes: the key keeps its first
// 255, is found at the start of the line and the line is reported whole.
TEST(Hostile, LinesAroundTheBoundedLength) {
  for (std::size_t n : {0, 1, 254, 255, 256, 100000}) {
    SCOPED_TRACE(n);
    std::string line(n, 'x');
    Sandbox sandbox;
    sandbox.Write("in.txt", line + "\r\n");
    sandbox.Write("keys.txt", line + "\r\n");
    Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    if (n == 0) {
      EXPECT_EQ(result.out, kEmptyNotice);
      EXPECT_EQ(result.status_file, kUsage);
      continue;
    }
    EXPECT_EQ(result.status_file, "");
    std::string key(std::min<std::size_t>(n, 255), 'X');
    EXPECT_EQ(sandbox.Read("out.txt"), Record(key, line) + kSeparator);
    // Found, and both files are at their end.
    EXPECT_EQ(result.out, "");
  }
}

// 100,000 keys against three lines: two lines reported; every remaining key
// is tried against the last line, and each longer than it gives a marker.
TEST(Hostile, HundredThousandKeys) {
  std::string keys;
  for (int i = 0; i < 100000; ++i) keys += "k" + std::to_string(i) + "\n";
  Sandbox sandbox;
  sandbox.Write("in.txt", "k0 k1\nk2\nzzz\n");
  sandbox.Write("keys.txt", keys);
  Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
  ExpectClean(result);
  EXPECT_EQ(sandbox.Read("out.txt"),
            Record("K0, K1", "k0 k1") + Record("K2", "k2") + kSeparator);
  // K2 and K3 after the hits at the line ends, K100 to K99999 longer
  // than "zzz".
  EXPECT_EQ(result.out.size(), (2 + 99900) * kMarker.size());
  EXPECT_EQ(result.out, Markers(2 + 99900));
}

// The Input File and the Key Collection File may be one file: each line is
// its own key.
TEST(Hostile, KeyFileIsTheInputFile) {
  Sandbox sandbox;
  sandbox.Write("in.txt", "apple pie\r\nbanana\r\n");
  for (const std::string& keys :
       {std::string("in.txt"), sandbox.Path("in.txt")}) {
    SCOPED_TRACE(keys);
    Result result = sandbox.Run({"in.txt", keys, "out.txt"});
    ExpectClean(result);
    EXPECT_EQ(result.out, kMarker);
    EXPECT_EQ(sandbox.Read("out.txt"), Record("APPLE PIE", "apple pie") +
                                           Record("BANANA", "banana") +
                                           kSeparator);
    EXPECT_EQ(sandbox.Read("in.txt"), "apple pie\r\nbanana\r\n");
  }
}

TEST(Hostile, InputFileIsDevNull) {
  KEYSEQ_REQUIRE_POSIX_BUILD();
  Sandbox sandbox;
  sandbox.Write("keys.txt", "a\n");
  Result result = sandbox.Run({"/dev/null", "keys.txt", "out.txt"});
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, kEmptyNotice);
  EXPECT_EQ(result.status_file, kUsage);
  EXPECT_EQ(sandbox.Read("out.txt"), "");
}

// ReadBoundedLine keeps 255 bytes of a key line and skips the rest without
// holding it: a 100 MiB key line without a line end is read in bounded
// memory.
TEST(Hostile, HundredMebibyteKeyLineInBoundedMemory) {
  KEYSEQ_REQUIRE_POSIX_BUILD();
  Sandbox sandbox;
  sandbox.Write("in.txt", "x\n");
  {
    // Written in pieces: the test itself must stay small, since a child's
    // peak before it starts the program counts too.
    std::FILE* keys = std::fopen(sandbox.Path("keys.txt").c_str(), "wb");
    ASSERT_NE(keys, nullptr);
    std::string piece(1 << 20, 'a');
    for (int i = 0; i < 100; ++i) {
      ASSERT_EQ(std::fwrite(piece.data(), 1, piece.size(), keys), piece.size());
    }
    std::fclose(keys);
  }
  rusage before;
  getrusage(RUSAGE_CHILDREN, &before);
  Result result = sandbox.Run({"in.txt", "keys.txt", "out.txt"});
  rusage after;
  getrusage(RUSAGE_CHILDREN, &after);
  ExpectClean(result);
  // The 255-byte key does not fit in the one-byte line.
  EXPECT_EQ(result.out, kMarker);
  EXPECT_EQ(sandbox.Read("out.txt"), kSeparator);
  // ru_maxrss is the largest of all children waited for, in KiB; it tells
  // something only while no earlier child was as large.
  const long limit_kib = 50 * 1024;
  if (before.ru_maxrss >= limit_kib) {
    GTEST_SKIP() << "an earlier child of this test process already used "
                 << before.ru_maxrss << " KiB";
  }
  EXPECT_LT(after.ru_maxrss, limit_kib) << "peak resident set in KiB";
}

// The Input File is truncated, or removed, while the run holds it: the run
// waits for its keys on standard input meanwhile. Whatever moment the
// change hits, the run ends with a result of the rules or a clean fatal
// report.
TEST(Hostile, InputFileChangedDuringTheRun) {
  KEYSEQ_REQUIRE_POSIX_BUILD();
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
  for (bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "removed" : "truncated");
    Sandbox sandbox;
    sandbox.Write("in.txt", text);
    int keys[2];
    ASSERT_EQ(pipe2(keys, O_CLOEXEC), 0);
    Process process = sandbox.Start({.args = {"in.txt"}, .stdin_fd = keys[0]});
    close(keys[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (remove) {
      ASSERT_EQ(unlink(sandbox.Path("in.txt").c_str()), 0);
    } else {
      ASSERT_EQ(truncate(sandbox.Path("in.txt").c_str(), 0), 0);
    }
    std::string key = "line 19999\n";
    ASSERT_EQ(write(keys[1], key.data(), key.size()),
              static_cast<ssize_t>(key.size()));
    close(keys[1]);
    Result result = process.Wait();
    EXPECT_EQ(result.signal, 0);
    // Lines 0 to 9999 are shorter than the key.
    const std::string whole =
        Markers(10000) + Record("LINE 19999", "line 19999") + kSeparator;
    if (result.exit_status == 1) {
      // A reopen by name of a removed file.
      EXPECT_EQ(MaskOffset(result.err),
                FatalReport("EInOutError", "File not found."));
      EXPECT_EQ(MaskOffset(result.status_file.value_or("")),
                " \r\n" + MaskOffset(result.err));
      continue;
    }
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    if (result.status_file == kUsage) {
      // Truncated before the emptiness test.
      EXPECT_EQ(result.out, kEmptyNotice);
    } else if (result.status_file != "") {
      // Removed before it was opened.
      EXPECT_EQ(result.status_file,
                " \r\n >> Unable to open Input File for reading...\r\n\r\n");
    } else if (remove) {
      // The file stays readable through the run's open handle.
      EXPECT_EQ(result.out, whole);
    } else {
      // Truncated under the scan: it sees an empty file; the key is never
      // found and the report holds only its closing separator.
      EXPECT_TRUE(result.out.ends_with(kSeparator)) << result.out;
      EXPECT_EQ(result.out.find("LINE"), std::string::npos) << result.out;
    }
  }
}

}  // namespace
}  // namespace keyseq::e2e
