// The search of the scan: an upper-cased key in text of any letter case,
// compared through the upper-case table in place, without upper-casing a
// copy of the text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "scan/strings.h"

namespace keyseq {

class KeyFinder {
 public:
  static constexpr std::size_t kNotFound = std::string_view::npos;

  KeyFinder() = default;
  // `key` is upper-cased already.
  KeyFinder(std::string_view key, const CaseTable& upper);

  // Where the leftmost match of the key begins in `text` (from 0), or
  // kNotFound; an empty key is never found.
  std::size_t Find(std::string_view text) const;

 private:
  bool MatchesAt(const unsigned char* text) const;
  std::size_t FindByTable(std::string_view text) const;

  std::string key_;
  const CaseTable* upper_ = nullptr;
  // The key byte whose forms are looked for with memchr: the one likely to
  // be rarest in text, so that few candidates need comparing.
  std::size_t anchor_ = 0;
  // The bytes that upper-case to key_[anchor_]; with more than two, the
  // search compares at every position instead.
  unsigned char forms_[2] = {0, 0};
  int form_count_ = 0;
};

}  // namespace keyseq
