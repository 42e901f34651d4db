#include <windows.h>

#include "scan/strings.h"

namespace keyseq {

namespace {

// The ANSI code page's own mapping, as the system's CharUpperBuffA gives it,
// one byte at a time. Plain ASCII is fixed whatever the system's language:
// a to z become A to Z and nothing else below 128 changes. A byte whose
// upper-case form is not a letter of the same pair (the system maps some
// characters to a look-alike of another script) is left as it is.
CaseTable AnsiUpperCase() {
  CaseTable upper;
  for (int byte = 0; byte < 128; ++byte) {
    upper[byte] = byte >= 'a' && byte <= 'z' ? byte - 0x20 : byte;
  }
  char bytes[128];
  for (int i = 0; i < 128; ++i) bytes[i] = static_cast<char>(128 + i);
  CharUpperBuffA(bytes, sizeof bytes);
  char back[128];
  for (int i = 0; i < 128; ++i) back[i] = bytes[i];
  CharLowerBuffA(back, sizeof back);
  for (int i = 0; i < 128; ++i) {
    unsigned char mapped = static_cast<unsigned char>(bytes[i]);
    bool pair = mapped >= 128 && back[i] == static_cast<char>(128 + i);
    upper[128 + i] = pair ? mapped : static_cast<unsigned char>(128 + i);
  }
  return upper;
}

}  // namespace

const CaseTable& SystemUpperCase() {
  static const CaseTable upper = AnsiUpperCase();
  return upper;
}

}  // namespace keyseq
