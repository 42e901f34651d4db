#include "run/fatal.h"

#include <cstdio>

namespace keyseq {

std::string ErrorMessage(int code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
  }
}

std::string FatalReport(std::string_view kind, std::string_view module,
                        std::uint32_t offset, std::string_view message) {
  char where[16];
  std::snprintf(where, sizeof where, "%08X", static_cast<unsigned>(offset));
  std::string report = "Exception ";
  report += kind;
  report += " in module ";
  report += module;
  report += " at ";
  report += where;
  report += ".\r\n";
  report += message;
  if (!message.ends_with('.')) report += '.';
  report += "\r\n\r\n";
  return report;
}

}  // namespace keyseq
