#include "run/platform_win32.h"

#include <windows.h>

#include <cstdlib>

#include "run/command_line.h"
#include "run/fatal.h"

// The start of the program image, placed by the linker.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace keyseq {

namespace {

HANDLE ToWindows(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle FromWindows(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

// Converts an ANSI text to UTF-16 the way the system's "A" functions do.
std::wstring Wide(const std::string& text, UINT code_page = CP_ACP) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(code_page, 0, text.data(),
                                 static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                      wide.data(), size);
  return wide;
}

// The name the file system is asked for. A name is used whole, however
// long: past the classic path limit it goes as a full "\\?\" path, which
// the system takes without that limit.
std::wstring FileName(const std::string& name) {
  std::wstring wide = Wide(name);
  if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\")) return wide;
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (size == 0 || size >= full.size()) return wide;
  full.resize(size);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Opens `name` with the sharing that the run's rules ask for: whoever holds
// the file, others may only read it, and only while it is not being
// written. The system enforces this between the run's own files as well as
// against other processes, whatever name or link the file is reached by.
Opened Open(const std::string& name, bool writing) {
  Opened opened;
  HANDLE file = CreateFileW(
      FileName(name).c_str(), writing ? GENERIC_WRITE : GENERIC_READ,
      FILE_SHARE_READ, nullptr, writing ? OPEN_ALWAYS : OPEN_EXISTING,
      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    opened.code = Win32Platform::CodeOf(GetLastError());
    return opened;
  }
  DWORD type = GetFileType(file);
  opened.reopenable = type == FILE_TYPE_DISK;
  // Emptied only once the open has been granted: a refused open leaves
  // the file whole.
  if (writing && type == FILE_TYPE_DISK && !SetEndOfFile(file)) {
    opened.code = Win32Platform::CodeOf(GetLastError());
    CloseHandle(file);
    return opened;
  }
  opened.handle = FromWindows(file);
  return opened;
}

}  // namespace

Win32Platform::Win32Platform() {
  // Failures are reported by the program, never in a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX |
               SEM_NOOPENFILEERRORBOX);
  const DWORD which[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE,
                          STD_ERROR_HANDLE};
  for (int i = 0; i < 3; ++i) {
    HANDLE handle = GetStdHandle(which[i]);
    standard_[i] = FromWindows(handle);
    missing_[i] = handle == nullptr || handle == INVALID_HANDLE_VALUE;
  }
}

int Win32Platform::CodeOf(unsigned long error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return kAccessDenied;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return kDiskFull;
    default: return static_cast<int>(error);
  }
}

std::vector<std::string> Win32Platform::Parameters() {
  return SplitCommandLine(GetCommandLineA());
}

std::string Win32Platform::ProgramName() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD size = GetModuleFileNameA(nullptr, path.data(),
                                    static_cast<DWORD>(path.size()));
    if (size == 0) return "keyseq.exe";
    if (size < path.size()) {
      path.resize(size);
      break;
    }
    if (path.size() >= 32768) break;
    path.resize(path.size() * 2);
  }
  return path.substr(path.find_last_of("\\/:") + 1);
}

Opened Win32Platform::OpenForReading(const std::string& name) {
  return Open(name, false);
}

Opened Win32Platform::OpenForWriting(const std::string& name) {
  return Open(name, true);
}

bool Win32Platform::Missing(Handle handle) const {
  for (int i = 0; i < 3; ++i) {
    if (missing_[i] && standard_[i] == handle) return true;
  }
  return false;
}

bool Win32Platform::Standard(Handle handle) const {
  return handle == standard_[0] || handle == standard_[1] ||
         handle == standard_[2];
}

int Win32Platform::Read(Handle handle, char* data, std::size_t size,
                        std::size_t* got) {
  *got = 0;
  if (Missing(handle)) return kNotOpenForReading;
  DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  DWORD read = 0;
  if (!ReadFile(ToWindows(handle), data, chunk, &read, nullptr)) {
    DWORD error = GetLastError();
    // The writer has gone: the end of the data.
    if (error == ERROR_BROKEN_PIPE) return 0;
    // A standard stream the process was started without.
    if (error == ERROR_INVALID_HANDLE && Standard(handle)) {
      return kNotOpenForReading;
    }
    return CodeOf(error);
  }
  *got = read;
  return 0;
}

int Win32Platform::Write(Handle handle, const char* data, std::size_t size) {
  if (Missing(handle)) return kNotOpenForWriting;
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(ToWindows(handle), data, chunk, &written, nullptr)) {
      DWORD error = GetLastError();
      // A standard stream the process was started without (Wine hands
      // such a process a handle that cannot be written).
      if (error == ERROR_INVALID_HANDLE && Standard(handle)) {
        return kNotOpenForWriting;
      }
      return CodeOf(error);
    }
    if (written == 0) return kDiskFull;
    data += written;
    size -= written;
  }
  return 0;
}

int Win32Platform::Close(Handle handle) {
  return CloseHandle(ToWindows(handle)) ? 0 : CodeOf(GetLastError());
}

bool Win32Platform::IsTerminal(Handle handle) {
  DWORD mode = 0;
  return !Missing(handle) && GetConsoleMode(ToWindows(handle), &mode) != 0;
}

void* Win32Platform::Reallocate(void* block, std::size_t size) {
  return std::realloc(block, size);
}

void Win32Platform::Free(void* block) { std::free(block); }

std::uint32_t Win32Platform::CodeOffset(const void* address) {
  // `address` is where a call returns to; the byte before it lies in the
  // call instruction. The figure is relative to the image's base, as the
  // image may be loaded elsewhere from run to run.
  return static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(address) -
      reinterpret_cast<std::uintptr_t>(&__ImageBase) - 1);
}

std::string Win32Platform::ForStandardError(std::string_view text) {
  std::wstring wide = Wide(std::string(text));
  if (wide.empty()) return std::string(text);
  int size = WideCharToMultiByte(CP_OEMCP, 0, wide.data(),
                                 static_cast<int>(wide.size()), nullptr, 0,
                                 nullptr, nullptr);
  if (size <= 0) return std::string(text);
  std::string oem(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, wide.data(), static_cast<int>(wide.size()),
                      oem.data(), size, nullptr, nullptr);
  return oem;
}

void Win32Platform::Exit(int status) { ExitProcess(static_cast<UINT>(status)); }

}  // namespace keyseq
