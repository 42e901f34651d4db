// The splitter of a command line that arrives as one string: it never
// fails, yields no empty parameter and lets no double quote through; on a
// line without double quotes it is a plain split at blanks.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "run/command_line.h"

namespace {

bool IsBlank(char c) {
  auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

// Items between runs of blanks, up to the first NUL, without the first.
std::vector<std::string> PlainSplit(std::string_view line) {
  line = line.substr(0, line.find('\0'));
  std::vector<std::string> items;
  std::string item;
  bool in_item = false;
  for (char c : line) {
    if (IsBlank(c)) {
      if (in_item) items.push_back(item);
      item.clear();
      in_item = false;
    } else {
      item += c;
      in_item = true;
    }
  }
  if (in_item) items.push_back(item);
  if (!items.empty()) items.erase(items.begin());
  return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parameters = keyseq::SplitCommandLine(line);
  std::size_t before_nul = line.find('\0');
  for (const std::string& parameter : parameters) {
    if (parameter.empty()) std::abort();
    if (parameter.find('"') != std::string::npos) std::abort();
    if (parameter.find('\0') != std::string::npos) std::abort();
    // Every parameter's bytes come from the line.
    if (parameter.size() > line.size()) std::abort();
  }
  if (line.substr(0, before_nul).find('"') == std::string_view::npos &&
      parameters != PlainSplit(line)) {
    std::abort();
  }
  // Parameter numbers past the last yield an empty text.
  if (!keyseq::Parameter(parameters, parameters.size() + 1).empty()) {
    std::abort();
  }
  return 0;
}
