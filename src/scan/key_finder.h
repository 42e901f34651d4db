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
  // A key byte that candidates are picked by, with the text bytes that
  // upper-case to it (both the same when there is one).
  struct Anchor {
    std::size_t at = 0;
    unsigned char forms[2] = {0, 0};
  };
  enum class Method {
    // An empty key, or one with a byte that no text byte upper-cases to.
    kNever,
    // Every position is compared: each key byte has more than two forms.
    kEveryPosition,
    // Only the positions where both anchors match are compared.
    kAnchors,
  };

  bool MatchesAt(const unsigned char* text) const;
  std::size_t FindAtEveryPosition(std::string_view text) const;
  std::size_t FindByAnchors(std::string_view text) const;

  std::string key_;
  const CaseTable* upper_ = nullptr;
  Method method_ = Method::kNever;
  // The two key bytes likely to be rarest in text, each with at most two
  // forms; the same byte twice for a key of one byte.
  Anchor anchors_[2];
  // The larger of the anchors' offsets in the key.
  std::size_t reach_ = 0;
};

}  // namespace keyseq
