#include "scan/key_finder.h"

#include <algorithm>
#include <cstring>

namespace keyseq {

namespace {

// How common an upper-cased byte is in ordinary text: higher is more
// common. Letters follow English frequency; blanks and lower-case-free
// punctuation are in between.
int Commonness(unsigned char byte) {
  static constexpr std::string_view kLetters = "ZQXJKVBPYGFWMUCLDRHSNIOATE";
  if (byte == ' ') return 100;
  std::size_t rank = kLetters.find(static_cast<char>(byte));
  if (rank != std::string_view::npos) return 50 + static_cast<int>(rank);
  if (byte >= '0' && byte <= '9') return 40;
  if (byte == ',' || byte == '.' || byte == '\t') return 45;
  return byte < 128 ? 30 : 10;
}

}  // namespace

KeyFinder::KeyFinder(std::string_view key, const CaseTable& upper)
    : key_(key), upper_(&upper) {
  if (key_.empty()) return;
  auto byte_at = [&](std::size_t i) {
    return static_cast<unsigned char>(key_[i]);
  };
  for (std::size_t i = 1; i < key_.size(); ++i) {
    if (Commonness(byte_at(i)) < Commonness(byte_at(anchor_))) anchor_ = i;
  }
  int forms = 0;
  for (int byte = 0; byte < 256; ++byte) {
    if (upper[byte] != byte_at(anchor_)) continue;
    if (forms < 2) forms_[forms] = static_cast<unsigned char>(byte);
    ++forms;
  }
  form_count_ = forms <= 2 ? forms : 0;
}

bool KeyFinder::MatchesAt(const unsigned char* text) const {
  const CaseTable& upper = *upper_;
  for (std::size_t i = 0; i < key_.size(); ++i) {
    if (upper[text[i]] != static_cast<unsigned char>(key_[i])) return false;
  }
  return true;
}

std::size_t KeyFinder::FindByTable(std::string_view text) const {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t at = 0; at + key_.size() <= text.size(); ++at) {
    if (MatchesAt(bytes + at)) return at;
  }
  return kNotFound;
}

std::size_t KeyFinder::Find(std::string_view text) const {
  if (key_.empty() || key_.size() > text.size()) return kNotFound;
  if (form_count_ == 0) return FindByTable(text);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  // Candidates for the anchor byte lie in [first, last); each form's next
  // occurrence is kept, so that every byte is looked at once per form.
  std::size_t first = anchor_;
  std::size_t last = text.size() - key_.size() + anchor_ + 1;
  auto next = [&](int form, std::size_t from) {
    const void* found = std::memchr(bytes + from, forms_[form], last - from);
    return found ? static_cast<const unsigned char*>(found) - bytes : last;
  };
  std::size_t next_form[2] = {next(0, first),
                              form_count_ == 2 ? next(1, first) : last};
  for (;;) {
    int form = next_form[1] < next_form[0] ? 1 : 0;
    std::size_t at = next_form[form];
    if (at == last) return kNotFound;
    if (MatchesAt(bytes + at - anchor_)) return at - anchor_;
    next_form[form] = at + 1 < last ? next(form, at + 1) : last;
  }
}

}  // namespace keyseq
