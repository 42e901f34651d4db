#include "scan/strings.h"

namespace keyseq {

// The tool's files come from Windows systems: their single-byte texts are
// upper-cased as there, whatever the locale here.
const CaseTable& SystemUpperCase() {
  static const CaseTable upper = Windows1252UpperCase();
  return upper;
}

}  // namespace keyseq
