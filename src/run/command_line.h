// The command line's parameters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace keyseq {

// Splits a command line that arrives as one string into its parameters,
// dropping the first item (the program's name). Items are separated by
// blanks (codes 1 to 32); a double quote opens a stretch, closed by the next
// one or the end, in which blanks are ordinary; the quotes are dropped and
// cannot be escaped; pairs of quotes at the start of an item are dropped
// with the blanks after them. A NUL ends the line. Empty items are no
// parameters.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Parameter `number` (from 1), or an empty text past the last one.
std::string Parameter(const std::vector<std::string>& parameters,
                      std::size_t number);

}  // namespace keyseq
