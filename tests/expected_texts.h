// The texts the program writes, each line ended by CR LF, for the unit and
// the end-to-end tests alike.
#pragma once

#include <string>
#include <string_view>

namespace keyseq {

inline const std::string kUsage =
    "The parameter is missing!\r\n"
    "Using the Brivel Content Analyzer:\r\n"
    "  !!_BrivelContentAnalysis-.bat <the name of the file to be "
    "examined>\r\n"
    "  where the depending on the language: -DE, -EN, -FR, -HU, etc., \r\n"
    "    and the file to be examined is a text file of type doc, docx, or "
    "txt,\r\n"
    "        which should also be placed in this folder.\r\n"
    "\r\n";
inline const std::string kMarker = "*** 3.1 ****\r\n";
inline const std::string kSeparator = "--------------\r\n";

// One record of the report.
inline std::string Record(const std::string& keys, const std::string& line) {
  return kSeparator + keys + ": \r\n" + line + "\r\n";
}

// The status file after an open failure with `message`.
inline std::string OpenFailure(std::string_view message) {
  return " \r\n" + std::string(message) + "\r\n\r\n";
}

// The worked example: its Input File, Key Collection File and report.
inline const std::string kExampleInput =
    "An apple and a pear.\r\nNothing here.\r\nA plum tree.\r\n";
inline const std::string kExampleKeys = "apple\r\npear\r\nplum\r\n";
inline const std::string kExampleReport =
    Record("APPLE, PEAR", "An apple and a pear.") +
    Record("PLUM", "A plum tree.") + kSeparator;

}  // namespace keyseq
