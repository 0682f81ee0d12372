// Which characters separate tokens: White_Space, and General_Category P*
// (punctuation), S* (symbols) and Cc (controls), by Unicode 16.0.0. The
// tokenizer asks this once per character of every text, so every answer is
// a constant-table look-up: one byte per ASCII character; one bit per
// character below U+0800 (ASCII, Latin with diacritics and Cyrillic), read
// straight from its bytes; and a two-level bitmap (256-character blocks,
// identical blocks shared) for the rest.
#pragma once

#include <cstdint>

#include "unicode/separator_tables.hpp"
#include "unicode/unicode.hpp"

namespace ardovel {

// For a byte below 0x80.
[[nodiscard]] constexpr bool is_ascii_separator(unsigned char byte) noexcept {
  return unicode_tables::ASCII_SEPARATORS[byte] != 0;
}

namespace separator_detail {

// The bits of U+0000..U+07FF, 64 code points to a word, taken from the
// generated blocks when this is compiled. Code point c of one or two bytes
// is word c >> 6, bit c & 63: for a two-byte sequence those are simply
// (lead & 31) and (second & 63).
struct LowSeparators {
  std::uint64_t words[32];
};

constexpr LowSeparators low_separators() noexcept {
  LowSeparators table{};
  for (unsigned word = 0; word < 32; ++word) {
    table.words[word] = unicode_tables::SEPARATOR_BLOCKS[unicode_tables::SEPARATOR_BLOCK_INDEX[word >> 2]][word & 3U];
  }
  return table;
}

inline constexpr LowSeparators LOW_SEPARATORS = low_separators();

}  // namespace separator_detail

// For code points below U+0800 given as their word (c >> 6) and bit (c & 63).
[[nodiscard]] constexpr bool is_low_separator(unsigned word, unsigned bit) noexcept {
  return ((separator_detail::LOW_SEPARATORS.words[word & 31U] >> (bit & 63U)) & 1U) != 0;
}

[[nodiscard]] constexpr bool is_separator(Character c) noexcept {
  namespace tables = unicode_tables;
  if (c < 0x80) return tables::ASCII_SEPARATORS[c] != 0;
  if (c > 0x10FFFF) return false;
  const auto block = tables::SEPARATOR_BLOCK_INDEX[c >> 8];
  return ((tables::SEPARATOR_BLOCKS[block][(c >> 6) & 3U] >> (c & 63U)) & 1U) != 0;
}

}  // namespace ardovel
