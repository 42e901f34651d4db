#include "scan/key_finder.h"

#include <bit>
#include <cstdint>
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

// 16 text bytes, compared with a byte in each lane at once (GCC's vector
// extension: plain SSE2 on x86-64, and as portable as the compiler).
using Bytes = unsigned char __attribute__((vector_size(16)));
constexpr std::size_t kWidth = sizeof(Bytes);

Bytes Load(const unsigned char* at) {
  Bytes bytes;
  std::memcpy(&bytes, at, kWidth);
  return bytes;
}

Bytes Broadcast(unsigned char byte) {
  Bytes bytes;
  for (std::size_t i = 0; i < kWidth; ++i) bytes[i] = byte;
  return bytes;
}

// Bit i of the result is set when lane i is all ones. The lanes are
// weighted by their bit and summed per half, which does not depend on the
// order of bytes in an integer.
unsigned Lanes(Bytes set) {
  static const Bytes kWeights = {1, 2, 4, 8, 16, 32, 64, 128,
                                 1, 2, 4, 8, 16, 32, 64, 128};
  Bytes weighted = set & kWeights;
  std::uint64_t halves[2];
  std::memcpy(halves, &weighted, kWidth);
  constexpr std::uint64_t kSum = 0x0101010101010101;
  return static_cast<unsigned>((halves[0] * kSum) >> 56) |
         static_cast<unsigned>((halves[1] * kSum) >> 56) << 8;
}

bool Any(Bytes set) {
  std::uint64_t halves[2];
  std::memcpy(halves, &set, kWidth);
  return (halves[0] | halves[1]) != 0;
}

}  // namespace

KeyFinder::KeyFinder(std::string_view key, const CaseTable& upper)
    : key_(key), upper_(&upper) {
  if (key_.empty()) return;
  // How many text bytes upper-case to each key byte, and the first two.
  std::size_t form_count[256] = {};
  unsigned char forms[256][2] = {};
  for (int byte = 0; byte < 256; ++byte) {
    unsigned char image = upper[byte];
    if (form_count[image] < 2) forms[image][form_count[image]] = byte;
    ++form_count[image];
  }
  auto byte_at = [&](std::size_t i) {
    return static_cast<unsigned char>(key_[i]);
  };
  // The rarest and the next rarest of the bytes with one or two forms.
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t rarest = kNone, next = kNone;
  auto rarer = [&](std::size_t i, std::size_t than) {
    return than == kNone || Commonness(byte_at(i)) < Commonness(byte_at(than));
  };
  for (std::size_t i = 0; i < key_.size(); ++i) {
    std::size_t count = form_count[byte_at(i)];
    if (count == 0) return;  // never found
    if (count > 2) continue;
    if (rarer(i, rarest)) {
      next = rarest;
      rarest = i;
    } else if (rarer(i, next)) {
      next = i;
    }
  }
  if (rarest == kNone) {
    method_ = Method::kEveryPosition;
    return;
  }
  if (next == kNone) next = rarest;
  std::size_t offsets[2] = {rarest, next};
  for (int a = 0; a < 2; ++a) {
    Anchor& anchor = anchors_[a];
    anchor.at = offsets[a];
    unsigned char byte = byte_at(anchor.at);
    anchor.forms[0] = forms[byte][0];
    anchor.forms[1] = form_count[byte] == 2 ? forms[byte][1] : forms[byte][0];
  }
  reach_ = rarest > next ? rarest : next;
  method_ = Method::kAnchors;
}

bool KeyFinder::MatchesAt(const unsigned char* text) const {
  const CaseTable& upper = *upper_;
  for (std::size_t i = 0; i < key_.size(); ++i) {
    if (upper[text[i]] != static_cast<unsigned char>(key_[i])) return false;
  }
  return true;
}

std::size_t KeyFinder::FindAtEveryPosition(std::string_view text) const {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t at = 0; at + key_.size() <= text.size(); ++at) {
    if (MatchesAt(bytes + at)) return at;
  }
  return kNotFound;
}

// The text is taken 16 starting positions at a time: a position is a
// candidate when the text bytes under both anchors are forms of theirs,
// and only candidates are compared with the whole key.
std::size_t KeyFinder::FindByAnchors(std::string_view text) const {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  // Starting positions that leave room for the key.
  const std::size_t last_start = size - key_.size();
  if (size < kWidth + reach_) {
    // Too short for one block: the positions one by one.
    for (std::size_t at = 0; at <= last_start; ++at) {
      const Anchor& a = anchors_[0];
      unsigned char byte = bytes[at + a.at];
      if ((byte == a.forms[0] || byte == a.forms[1]) && MatchesAt(bytes + at)) {
        return at;
      }
    }
    return kNotFound;
  }
  const Anchor& a = anchors_[0];
  const Anchor& b = anchors_[1];
  const Bytes a0 = Broadcast(a.forms[0]), a1 = Broadcast(a.forms[1]);
  const Bytes b0 = Broadcast(b.forms[0]), b1 = Broadcast(b.forms[1]);
  // The last block that the loads stay inside the text for; it overlaps
  // the one before, and it reaches the last starting position.
  const std::size_t final_block = size - kWidth - reach_;
  for (std::size_t from = 0;; from += kWidth) {
    std::size_t block = from < final_block ? from : final_block;
    Bytes at_a = Load(bytes + block + a.at);
    Bytes at_b = Load(bytes + block + b.at);
    Bytes candidates = reinterpret_cast<Bytes>(((at_a == a0) | (at_a == a1)) &
                                               ((at_b == b0) | (at_b == b1)));
    if (Any(candidates)) {
      // In the final block, the positions before `from` were done already.
      unsigned lanes = Lanes(candidates) >> (from - block) << (from - block);
      while (lanes != 0) {
        std::size_t at = block + std::countr_zero(lanes);
        if (at > last_start) return kNotFound;
        if (MatchesAt(bytes + at)) return at;
        lanes &= lanes - 1;
      }
    }
    if (block == final_block) return kNotFound;
  }
}

std::size_t KeyFinder::Find(std::string_view text) const {
  if (key_.size() > text.size()) return kNotFound;
  switch (method_) {
    case Method::kNever: return kNotFound;
    case Method::kEveryPosition: return FindAtEveryPosition(text);
    case Method::kAnchors: return FindByAnchors(text);
  }
  return kNotFound;
}

}  // namespace keyseq
