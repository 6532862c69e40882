#pragma once

// The Mandarin readings of the CJK Unified Ideographs and Extension A, generated when the
// program is built from Debian's Unihan data (make_readings.py): each character's toneless
// syllables, ü written v.
#include <cstdint>
#include <span>

namespace readings {

extern const int kSetCount;
extern const char kSyllables[][8];  // "a", "ai", ..., each ending in NUL
extern const std::uint32_t kSetStart[];
extern const std::uint16_t kSetSyllables[];
extern const std::uint16_t kSetOfCharacter[];  // from U+3400 on; set 0 is empty

inline constexpr char16_t kFirst = 0x3400, kLast = 0x9FFF;

// The numbers (into kSyllables) of the character's syllables; empty for any other character.
inline std::span<const std::uint16_t> of(char16_t c) {
  if (c < kFirst || c > kLast) return {};
  const std::uint16_t set = kSetOfCharacter[c - kFirst];
  return {kSetSyllables + kSetStart[set], kSetSyllables + kSetStart[set + 1]};
}

}  // namespace readings
