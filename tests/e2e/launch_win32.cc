// launch.exe: starts a Windows program with an exact command line.
//
//   launch.exe CMDLINE-FILE
//
// The file holds the child's complete command line, byte for byte (no
// trailing newline unless the command line is meant to end with one). Its
// first token names the program, as CreateProcess expects when no application
// name is given, e.g.   "Z:\tmp\build\keyseq.exe" a "b c" ""d
// The child gets this process's standard input, output and error and its
// environment; launch.exe waits for it and exits with the child's exit code.
//
// Going through a file lets a test on the Linux side hand the child any byte
// string, without Wine rebuilding the command line from Unix arguments (Wine
// quotes each argument in its own way, so some strings cannot be produced
// that way at all).
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: launch.exe CMDLINE-FILE\n");
    return kLaunchFailed;
  }
  std::string cmdline;
  if (!ReadWholeFile(argv[1], cmdline))
    return Fail("cannot read", argv[1]);
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
  ExitProcess(code);
}
