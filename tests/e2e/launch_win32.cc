// launch.exe: starts a Windows program with an exact command line, and
// plays "another process" for the tests of the sharing rules.
//
//   launch.exe CMDLINE-FILE
//   launch.exe --hold read|write FILE CMDLINE-FILE
//   launch.exe --pipe NAME FILE CMDLINE-FILE
//   launch.exe --open read|write FILE
//
// The CMDLINE-FILE holds the child's complete command line, byte for byte
// (no trailing newline unless the command line is meant to end with one).
// Its first token names the program, as CreateProcess expects when no
// application name is given, e.g.   "Z:\tmp\build\keyseq.exe" a "b c" ""d
// The child gets this process's standard input, output and error and its
// environment; launch.exe waits for it and exits with the child's exit code.
//
// Going through a file lets a test on the Linux side hand the child any byte
// string, without Wine rebuilding the command line from Unix arguments (Wine
// quotes each argument in its own way, so some strings cannot be produced
// that way at all).
//
// --hold keeps FILE open while the child runs, as a program that reads it
// (read) or writes it (write) would, letting others only read it.
// --pipe serves the bytes of FILE through the named pipe \\.\pipe\NAME
// to the first process that opens it, then closes its end, while the child
// runs.
// --open tries to open an existing FILE as a reader (sharing reading and
// writing) or a writer (sharing reading) would, closes it again and exits
// with 0 or the Windows error number.
//
// Launcher failures are reported on standard error with exit code 250, a
// value the tests do not expect from the child.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kLaunchFailed = 250;

int Fail(const char* what, const char* name) {
  std::fprintf(stderr, "launch: %s%s%s (error %lu)\n", what, name ? ": " : "",
               name ? name : "", GetLastError());
  return kLaunchFailed;
}

bool ReadWholeFile(const char* name, std::string& out) {
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0)
    out.append(buffer, got);
  CloseHandle(file);
  return ok;
}

// The child can only receive handles that are marked inheritable.
HANDLE InheritableStdHandle(DWORD which) {
  HANDLE h = GetStdHandle(which);
  if (h != nullptr && h != INVALID_HANDLE_VALUE)
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  return h;
}

// Opens FILE as another program would; mode is "read" or "write".
HANDLE OpenAs(const char* mode, const char* name, DWORD share_when_reading) {
  bool writing = std::string(mode) == "write";
  return CreateFileA(name, writing ? GENERIC_WRITE : GENERIC_READ,
                     writing ? FILE_SHARE_READ : share_when_reading, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

struct Served {
  HANDLE pipe;
  std::string bytes;
};

DWORD WINAPI Serve(void* argument) {
  Served* served = static_cast<Served*>(argument);
  if (ConnectNamedPipe(served->pipe, nullptr) ||
      GetLastError() == ERROR_PIPE_CONNECTED) {
    const char* at = served->bytes.data();
    std::size_t left = served->bytes.size();
    DWORD written = 0;
    while (left > 0 &&
           WriteFile(served->pipe, at, left > 65536 ? 65536 : DWORD(left),
                     &written, nullptr)) {
      at += written;
      left -= written;
    }
    FlushFileBuffers(served->pipe);
  }
  // The reader then sees the end of the data (a broken pipe).
  CloseHandle(served->pipe);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--open") {
    HANDLE file = OpenAs(argv[2], argv[3], FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE) ExitProcess(GetLastError());
    CloseHandle(file);
    ExitProcess(0);
  }
  HANDLE held = INVALID_HANDLE_VALUE;
  if (argc == 5 && std::string(argv[1]) == "--hold") {
    held = OpenAs(argv[2], argv[3], FILE_SHARE_READ);
    if (held == INVALID_HANDLE_VALUE) return Fail("cannot hold", argv[3]);
    argv += 3;
    argc -= 3;
  }
  Served served{INVALID_HANDLE_VALUE, {}};
  if (argc == 5 && std::string(argv[1]) == "--pipe") {
    std::string name = std::string("\\\\.\\pipe\\") + argv[2];
    if (!ReadWholeFile(argv[3], served.bytes))
      return Fail("cannot read", argv[3]);
    served.pipe =
        CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND,
                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 0, 0, nullptr);
    if (served.pipe == INVALID_HANDLE_VALUE)
      return Fail("cannot create", name.c_str());
    if (!CreateThread(nullptr, 0, Serve, &served, 0, nullptr))
      return Fail("cannot serve", name.c_str());
    argv += 3;
    argc -= 3;
  }
  if (argc != 2) {
    std::fprintf(
        stderr,
        "usage: launch.exe [--hold read|write FILE | --pipe NAME FILE] "
        "CMDLINE-FILE\n"
        "       launch.exe --open read|write FILE\n");
    return kLaunchFailed;
  }
  std::string cmdline;
  if (!ReadWholeFile(argv[1], cmdline)) return Fail("cannot read", argv[1]);
  if (cmdline.find('\0') != std::string::npos) {
    SetLastError(ERROR_INVALID_DATA);
    return Fail("command line contains a NUL byte", argv[1]);
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = InheritableStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = InheritableStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = InheritableStdHandle(STD_ERROR_HANDLE);

  PROCESS_INFORMATION child{};
  // CreateProcessA may write into the command line buffer, so it must be
  // writable; std::string's buffer is, and it is NUL terminated.
  if (!CreateProcessA(nullptr, cmdline.data(), nullptr, nullptr, TRUE, 0,
                      nullptr, nullptr, &startup, &child))
    return Fail("cannot start", cmdline.c_str());
  CloseHandle(child.hThread);

  DWORD code = kLaunchFailed;
  if (WaitForSingleObject(child.hProcess, INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(child.hProcess, &code))
    code = static_cast<DWORD>(Fail("cannot wait for", cmdline.c_str()));
  CloseHandle(child.hProcess);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  ExitProcess(code);
}
