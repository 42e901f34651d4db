// The string operations of the scan. Texts are byte strings; positions
// count from 1, and 0 means "not there".
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace keyseq {

// The upper-case form of every byte in the system's single-byte code page;
// a byte without one maps to itself, and a to z always map to A to Z.
using CaseTable = std::array<unsigned char, 256>;

// The system's table, made once.
const CaseTable& SystemUpperCase();

// The Windows-1252 mapping, the system's where the system has none.
CaseTable Windows1252UpperCase();

// Upper-cases `text` in place; its length never changes.
void UpperCase(std::string& text, const CaseTable& upper);

// Where the leftmost `needle` begins in `haystack`, compared byte for byte;
// 0 when it does not occur, and always for an empty needle.
std::size_t PositionOf(std::string_view needle, std::string_view haystack);

}  // namespace keyseq
