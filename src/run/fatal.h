// The report that ends a run after a fatal error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace keyseq {

// Codes that the text files record themselves, beside the operating
// system's error numbers.
inline constexpr int kFileNotOpen = 103;
inline constexpr int kNotOpenForReading = 104;
// Also: standard output cannot be written.
inline constexpr int kNotOpenForWriting = 105;
inline constexpr int kDiskFull = 101;
inline constexpr int kAccessDenied = 5;
// A device failed to read or write ("I/O error 1117").
inline constexpr int kDeviceError = 1117;

inline constexpr std::string_view kInOutError = "EInOutError";
inline constexpr std::string_view kOutOfMemory = "EOutOfMemory";
inline constexpr std::string_view kOutOfMemoryMessage = "Out of memory";

// The message for a status code, without a closing full stop.
std::string ErrorMessage(int code);

// The three lines, each ended by CR LF: where it happened, the message with
// its full stop, and an empty line.
std::string FatalReport(std::string_view kind, std::string_view module,
                        std::uint32_t offset, std::string_view message);

}  // namespace keyseq
