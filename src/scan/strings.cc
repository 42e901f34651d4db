#include "scan/strings.h"

namespace keyseq {

CaseTable Windows1252UpperCase() {
  CaseTable upper;
  for (int byte = 0; byte < 256; ++byte) upper[byte] = byte;
  for (int byte = 'a'; byte <= 'z'; ++byte) upper[byte] = byte - 0x20;
  // Latin-1 letters; 0xF7 (the division sign) and 0xDF, 0xFF have no
  // upper-case form in the same range.
  for (int byte = 0xE0; byte <= 0xFE; ++byte) {
    if (byte != 0xF7) upper[byte] = byte - 0x20;
  }
  upper[0x9A] = 0x8A;  // s with caron
  upper[0x9C] = 0x8C;  // ligature oe
  upper[0x9E] = 0x8E;  // z with caron
  upper[0xFF] = 0x9F;  // y with diaeresis
  return upper;
}

void UpperCase(std::string& text, const CaseTable& upper) {
  for (char& c : text) c = upper[static_cast<unsigned char>(c)];
}

std::size_t PositionOf(std::string_view needle, std::string_view haystack) {
  if (needle.empty()) return 0;
  std::size_t at = haystack.find(needle);
  return at == std::string_view::npos ? 0 : at + 1;
}

}  // namespace keyseq
