#include "run/command_line.h"

namespace keyseq {

namespace {

bool IsBlank(char c) {
  unsigned char code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

// Takes the item that starts at `at`, moving `at` past it.
std::string NextItem(std::string_view line, std::size_t& at) {
  for (;;) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (line.substr(at, 2) != "\"\"") break;
    at += 2;
  }
  std::string item;
  while (at < line.size() && !IsBlank(line[at])) {
    if (line[at] != '"') {
      item += line[at++];
      continue;
    }
    ++at;
    while (at < line.size() && line[at] != '"') {
      item += line[at++];
    }
    if (at < line.size() && line[at] == '"') ++at;
  }
  return item;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  line = line.substr(0, line.find('\0'));
  std::size_t at = 0;
  NextItem(line, at);
  std::vector<std::string> parameters;
  while (at < line.size()) {
    std::string item = NextItem(line, at);
    if (!item.empty()) parameters.push_back(std::move(item));
  }
  return parameters;
}

std::string Parameter(const std::vector<std::string>& parameters,
                      std::size_t number) {
  return number <= parameters.size() ? parameters[number - 1] : std::string();
}

}  // namespace keyseq
