// The Windows platform against the real system: status codes, the sharing
// rules between the run's own files, pipes and the code-page conversion.
#include "run/platform_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "run/fatal.h"

namespace keyseq {
namespace {

TEST(Win32Platform, MapsErrorNumbersOntoStatusCodes) {
  struct Case {
    unsigned long error;
    int code;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, 2},      {ERROR_PATH_NOT_FOUND, 3},
      {ERROR_TOO_MANY_OPEN_FILES, 4}, {ERROR_ACCESS_DENIED, 5},
      {ERROR_SHARING_VIOLATION, 5},   {ERROR_HANDLE_DISK_FULL, 101},
      {ERROR_DISK_FULL, 101},         {ERROR_NO_DATA, 232},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Win32Platform::CodeOf(c.error), c.code) << c.error;
  }
}

// A fresh folder of its own, as the working directory is not ours.
class Win32Files : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    dir_ = std::string(temp) + "keyseq-unit-" +
           std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const char* name : {"a.txt", "b.txt"}) DeleteFileA(Path(name).c_str());
    RemoveDirectoryA(dir_.c_str());
  }
  std::string Path(const std::string& name) { return dir_ + "\\" + name; }
  void Write(const std::string& name, const std::string& bytes) {
    Opened file = platform_.OpenForWriting(Path(name));
    ASSERT_EQ(file.code, 0);
    ASSERT_EQ(platform_.Write(file.handle, bytes.data(), bytes.size()), 0);
    ASSERT_EQ(platform_.Close(file.handle), 0);
  }
  std::string Read(const std::string& name) {
    Opened file = platform_.OpenForReading(Path(name));
    EXPECT_EQ(file.code, 0);
    std::string bytes;
    char block[64];
    std::size_t got = 0;
    while (platform_.Read(file.handle, block, sizeof block, &got) == 0 &&
           got > 0) {
      bytes.append(block, got);
    }
    platform_.Close(file.handle);
    return bytes;
  }

  Win32Platform platform_;
  std::string dir_;
};

TEST_F(Win32Files, OpensFollowTheSharingRules) {
  Write("a.txt", "kept\r\n");
  Opened reading = platform_.OpenForReading(Path("a.txt"));
  ASSERT_EQ(reading.code, 0);
  EXPECT_TRUE(reading.reopenable);
  // Read again: yes; written: no, and the refused open empties nothing.
  Opened again = platform_.OpenForReading(Path("a.txt"));
  EXPECT_EQ(again.code, 0);
  EXPECT_EQ(platform_.OpenForWriting(Path("a.txt")).code, kAccessDenied);
  platform_.Close(again.handle);
  platform_.Close(reading.handle);
  EXPECT_EQ(Read("a.txt"), "kept\r\n");

  Opened writing = platform_.OpenForWriting(Path("a.txt"));
  ASSERT_EQ(writing.code, 0);
  EXPECT_EQ(platform_.OpenForReading(Path("a.txt")).code, kAccessDenied);
  EXPECT_EQ(platform_.OpenForWriting(Path("a.txt")).code, kAccessDenied);
  platform_.Close(writing.handle);
  // The granted open for writing emptied it.
  EXPECT_EQ(Read("a.txt"), "");
}

TEST_F(Win32Files, FailedOpensGiveTheirCodes) {
  EXPECT_EQ(platform_.OpenForReading(Path("none.txt")).code, 2);
  EXPECT_EQ(platform_.OpenForReading(Path("none\\b.txt")).code, 3);
  EXPECT_EQ(platform_.OpenForWriting(Path("none\\b.txt")).code, 3);
  EXPECT_EQ(platform_.OpenForReading(dir_).code, kAccessDenied);
  EXPECT_EQ(platform_.OpenForWriting(dir_).code, kAccessDenied);
}

TEST(Win32Platform, ClosedPipeIsTheEndOfTheData) {
  Win32Platform platform;
  HANDLE read_end, write_end;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(write_end, "ab", 2, &written, nullptr));
  CloseHandle(write_end);
  char block[8];
  std::size_t got = 0;
  Handle handle = reinterpret_cast<Handle>(read_end);
  EXPECT_EQ(platform.Read(handle, block, sizeof block, &got), 0);
  EXPECT_EQ(std::string(block, got), "ab");
  EXPECT_EQ(platform.Read(handle, block, sizeof block, &got), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(platform.IsTerminal(handle));
  platform.Close(handle);
}

// The tests run with ANSI code page 1252 and OEM code page 437.
TEST(Win32Platform, StandardErrorGetsTheOemCodePage) {
  if (GetACP() != 1252 || GetOEMCP() != 437) {
    GTEST_SKIP() << "code pages " << GetACP() << "/" << GetOEMCP();
  }
  Win32Platform platform;
  EXPECT_EQ(platform.ForStandardError("k\xe9y.exe \xc4\xd6\xdc\r\n"),
            "k\x82y.exe \x8e\x99\x9a\r\n");
  EXPECT_EQ(platform.ForStandardError(""), "");
}

}  // namespace
}  // namespace keyseq
