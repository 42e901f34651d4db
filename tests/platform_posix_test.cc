#include "run/platform_posix.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace keyseq {
namespace {

TEST(PosixPlatform, MapsErrorNumbersOntoStatusCodes) {
  struct Case {
    int error;
    int code;
  } cases[] = {
      {ENOENT, 2},
      {ENOTDIR, 3},
      {ENAMETOOLONG, 3},
      {ELOOP, 3},
      {EMFILE, 4},
      {ENFILE, 4},
      {EACCES, 5},
      {EPERM, 5},
      {EROFS, 5},
      {EISDIR, 5},
      {ETXTBSY, 5},
      {ENOSPC, 101},
      {EDQUOT, 101},
      {EFBIG, 101},
      // Its own number would read "File access denied".
      {EIO, 1117},
      {EPIPE, EPIPE},
      {EBADF, EBADF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PosixPlatform::CodeOf(c.error), c.code) << c.error;
  }
}

}  // namespace
}  // namespace keyseq
