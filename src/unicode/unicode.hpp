// Character services of the stemming core, exactly as Unicode 16.0.0 defines
// them, whatever Unicode version the hosting interpreter carries.
//
// Every text that reaches these services is valid UTF-8; they never validate
// and have no error result.
#pragma once

#include <cstddef>
#include <string_view>

#include "text.hpp"

namespace ardovel {

// One Unicode scalar value.
using Character = char32_t;

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
