// Keys, the found-key list and the lines kept by ReadBoundedLine are bounded
// strings: storing a longer text keeps its first kBoundedLength bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace keyseq {

inline constexpr std::size_t kBoundedLength = 255;

inline std::string Bounded(std::string_view text) {
  return std::string(text.substr(0, kBoundedLength));
}

}  // namespace keyseq
