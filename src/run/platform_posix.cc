#include "run/platform_posix.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "run/fatal.h"

namespace keyseq {

PosixPlatform::PosixPlatform(int argc, char** argv)
    : arguments_(argv, argv + argc) {
  // A closed pipe makes a write fail like any other failed write.
  signal(SIGPIPE, SIG_IGN);
  // A standard stream that is closed keeps its number taken, so that no
  // file of the run lands on it; using it fails.
  for (int fd = 0; fd < 3; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      stream_closed_[fd] = true;
      open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    }
  }
}

int PosixPlatform::CodeOf(int error) {
  switch (error) {
    case ENOENT: return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kDiskFull;
    // EIO has the number of "File access denied": a failing disk must not
    // be reported as a permission problem. It is given the number Windows
    // has for the same failure (ERROR_IO_DEVICE).
    case EIO: return kDeviceError;
    default: return error;
  }
}

std::vector<std::string> PosixPlatform::Parameters() {
  std::vector<std::string> parameters;
  for (std::size_t i = 1; i < arguments_.size(); ++i) {
    if (!arguments_[i].empty()) parameters.push_back(arguments_[i]);
  }
  return parameters;
}

std::string PosixPlatform::ProgramName() {
  if (arguments_.empty() || arguments_[0].empty()) return "keyseq";
  const std::string& path = arguments_[0];
  return path.substr(path.find_last_of('/') + 1);
}

int PosixPlatform::Share(int fd, bool writing, bool* regular) {
  struct stat status;
  if (fstat(fd, &status) != 0) return CodeOf(errno);
  if (S_ISDIR(status.st_mode)) return CodeOf(EISDIR);
  *regular = S_ISREG(status.st_mode);
  for (const OpenFile& open : open_files_) {
    if (open.device == status.st_dev && open.inode == status.st_ino &&
        (writing || open.writing)) {
      return kAccessDenied;
    }
  }
  if (*regular) {
    // Locks of the open file description: they hold between the files of
    // this run as well as against other processes.
    struct flock lock = {};
    lock.l_type = writing ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
      // A file system without locks is used without them.
      if (errno == EAGAIN || errno == EACCES) return kAccessDenied;
    }
  }
  open_files_.push_back({fd, status.st_dev, status.st_ino, writing});
  return 0;
}

Opened PosixPlatform::OpenForReading(const std::string& name) {
  Opened opened;
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    opened.code = CodeOf(errno);
    return opened;
  }
  bool regular = false;
  if (int code = Share(fd, false, &regular)) {
    close(fd);
    opened.code = code;
    return opened;
  }
  opened.handle = fd;
  opened.reopenable = regular;
  return opened;
}

Opened PosixPlatform::OpenForWriting(const std::string& name) {
  Opened opened;
  // Not emptied on opening: a file the sharing rules refuse stays whole.
  int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    opened.code = CodeOf(errno);
    return opened;
  }
  bool regular = false;
  int code = Share(fd, true, &regular);
  if (code == 0 && regular && ftruncate(fd, 0) != 0) {
    code = CodeOf(errno);
    Close(fd);
  } else if (code != 0) {
    close(fd);
  }
  if (code != 0) {
    opened.code = code;
    return opened;
  }
  opened.handle = fd;
  opened.reopenable = regular;
  return opened;
}

int PosixPlatform::Read(Handle handle, char* data, std::size_t size,
                        std::size_t* got) {
  *got = 0;
  if (handle < 3 && stream_closed_[handle]) return kNotOpenForReading;
  for (;;) {
    ssize_t n = read(static_cast<int>(handle), data, size);
    if (n >= 0) {
      *got = static_cast<std::size_t>(n);
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno == EPIPE) return 0;
    return CodeOf(errno);
  }
}

int PosixPlatform::Write(Handle handle, const char* data, std::size_t size) {
  if (handle < 3 && stream_closed_[handle]) return kNotOpenForWriting;
  while (size > 0) {
    ssize_t n = write(static_cast<int>(handle), data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return CodeOf(errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

int PosixPlatform::Close(Handle handle) {
  int fd = static_cast<int>(handle);
  std::erase_if(open_files_,
                [fd](const OpenFile& open) { return open.fd == fd; });
  return close(fd) == 0 ? 0 : CodeOf(errno);
}

bool PosixPlatform::IsTerminal(Handle handle) {
  return isatty(static_cast<int>(handle)) == 1;
}

void* PosixPlatform::Reallocate(void* block, std::size_t size) {
  return std::realloc(block, size);
}

void PosixPlatform::Free(void* block) { std::free(block); }

std::uint32_t PosixPlatform::CodeOffset(const void* address) {
  Dl_info info;
  if (dladdr(address, &info) == 0 || info.dli_fbase == nullptr) return 0;
  // `address` is where a call returns to; the byte before it lies in the
  // call instruction, which addr2line then names.
  return static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(address) -
      reinterpret_cast<std::uintptr_t>(info.dli_fbase) - 1);
}

std::string PosixPlatform::ForStandardError(std::string_view text) {
  return std::string(text);
}

void PosixPlatform::Exit(int status) { _exit(status); }

}  // namespace keyseq
