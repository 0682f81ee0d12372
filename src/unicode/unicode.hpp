// Character services of the stemming core, exactly as Unicode 16.0.0 defines
// them, whatever Unicode version the hosting interpreter carries.
//
// Every text that reaches these services is valid UTF-8; they never validate
// and have no error result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ardovel/text.hpp"

namespace ardovel {

// One Unicode scalar value.
using Character = char32_t;

// ASCII a byte or eight bytes at a time, shared by the lowercasing here and
// the stemmer's fused normalisation pass.
namespace ascii {

[[nodiscard]] constexpr char lower(unsigned char byte) noexcept {
  return static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte);
}

// A block is eight bytes in one word, every byte below 0x80, so adding at
// most 0x80 to each byte never carries into the next.
inline constexpr std::uint64_t ones = 0x0101010101010101ULL;
inline constexpr std::uint64_t high_bits = ones * 0x80;

// The top bit of each byte of the result says whether that byte of the
// block lies in [low, high]; every other bit is clear.
[[nodiscard]] constexpr std::uint64_t bytes_in_range(std::uint64_t block, unsigned low, unsigned high) noexcept {
  return (block + ones * (0x80 - low)) & ~(block + ones * (0x80 - high - 1)) & high_bits;
}

// A capital's in-range mark (0x80), moved down to 0x20, lowercases it.
[[nodiscard]] constexpr std::uint64_t lower_block(std::uint64_t block) noexcept {
  return block | (bytes_in_range(block, 'A', 'Z') >> 2);
}

}  // namespace ascii

// Full lowercasing of the whole text, with the Final_Sigma rule as its only
// context. `out` is overwritten.
void to_lowercase(std::string_view text, Text& out);

// The lowercase of the one character that starts at byte `at` of `text`,
// exactly as `to_lowercase` maps it within that text (a capital sigma reads
// its neighbours from `text`). Stores one or two characters in `lower`,
// returns how many, and moves `at` past the character.
unsigned lowercase_char_at(std::string_view text, std::size_t& at, Character (&lower)[2]) noexcept;

[[nodiscard]] bool is_alphabetic(Character c) noexcept;
[[nodiscard]] bool is_numeric(Character c) noexcept;
[[nodiscard]] bool is_alphanumeric(Character c) noexcept;
[[nodiscard]] bool is_whitespace(Character c) noexcept;
[[nodiscard]] bool is_cased(Character c) noexcept;
[[nodiscard]] bool is_case_ignorable(Character c) noexcept;

[[nodiscard]] std::size_t char_count(std::string_view text) noexcept;
[[nodiscard]] bool ends_with_char(std::string_view text, Character c) noexcept;
void pop_char(Text& text) noexcept;
void push_char(Text& text, Character c);

}  // namespace ardovel
