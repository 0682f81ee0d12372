// Which characters separate tokens: White_Space, and General_Category P*
// (punctuation), S* (symbols) and Cc (controls), by Unicode 16.0.0. The
// tokenizer asks this once per character of every text, so both answers are
// constant-table look-ups: one byte per ASCII character, and a two-level
// bitmap (256-character blocks, identical blocks shared) for the rest.
#pragma once

#include "unicode/separator_tables.hpp"
#include "unicode/unicode.hpp"

namespace ardovel {

// For a byte below 0x80.
[[nodiscard]] constexpr bool is_ascii_separator(unsigned char byte) noexcept {
  return unicode_tables::ASCII_SEPARATORS[byte] != 0;
}

[[nodiscard]] constexpr bool is_separator(Character c) noexcept {
  namespace tables = unicode_tables;
  if (c < 0x80) return tables::ASCII_SEPARATORS[c] != 0;
  if (c > 0x10FFFF) return false;
  const auto block = tables::SEPARATOR_BLOCK_INDEX[c >> 8];
  return ((tables::SEPARATOR_BLOCKS[block][(c >> 6) & 3U] >> (c & 63U)) & 1U) != 0;
}

}  // namespace ardovel
