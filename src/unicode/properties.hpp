// Compile-time access to the Unicode 16.0.0 tables: the same look-ups the
// character services make, usable in constant expressions, so that derived
// tables (such as the stemmer's per-character table for two-byte sequences)
// are built from the generated data when the module is compiled.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "unicode/tables.hpp"

namespace ardovel::unicode_properties {

namespace tables = unicode_tables;

// See the generator for the layout: each run word holds a boundary code point
// in its low 21 bits and the index of the run's first delta in its high 11.
// Boundaries alternate between range starts and range ends, so a code point
// is in the set when the last boundary at or below it has an even index.
template <std::size_t Runs, std::size_t Offsets>
constexpr bool in_ranges(const std::uint32_t (&runs)[Runs], const std::uint8_t (&offsets)[Offsets],
                         char32_t c) noexcept {
  constexpr std::uint32_t code_mask = (1U << 21) - 1;
  const auto* after = std::upper_bound(std::begin(runs), std::end(runs), c,
                                       [](char32_t value, std::uint32_t run) { return value < (run & code_mask); });
  if (after == std::begin(runs)) return false;
  const std::size_t run = static_cast<std::size_t>(after - std::begin(runs)) - 1;
  std::size_t offset = runs[run] >> 21;
  const std::size_t run_end = after == std::end(runs) ? Offsets : (*after >> 21);
  // Each run's first boundary is kept in its word, not among the deltas.
  std::size_t boundary = offset + run;
  char32_t point = runs[run] & code_mask;
  for (; offset < run_end && point + offsets[offset] <= c; ++offset, ++boundary) point += offsets[offset];
  return boundary % 2 == 0;
}

constexpr bool alphabetic(char32_t c) noexcept {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return in_ranges(tables::ALPHABETIC_RUNS, tables::ALPHABETIC_OFFSETS, c);
}

constexpr bool numeric(char32_t c) noexcept {
  if (c < 0x80) return c >= '0' && c <= '9';
  return in_ranges(tables::NUMERIC_RUNS, tables::NUMERIC_OFFSETS, c);
}

constexpr bool whitespace(char32_t c) noexcept {
  if (c < 0x80) return c == ' ' || (c >= 0x09 && c <= 0x0D);
  switch (c >> 8) {
    case 0x00: return (tables::WHITE_SPACE_FLAGS[c] & 1U) != 0;
    case 0x20: return (tables::WHITE_SPACE_FLAGS[c & 0xFF] & 2U) != 0;
    default: return c == tables::WHITE_SPACE_SINGLES[0] || c == tables::WHITE_SPACE_SINGLES[1];
  }
}

constexpr bool cased(char32_t c) noexcept { return in_ranges(tables::CASED_RUNS, tables::CASED_OFFSETS, c); }

constexpr bool case_ignorable(char32_t c) noexcept {
  return in_ranges(tables::CASE_IGNORABLE_RUNS, tables::CASE_IGNORABLE_OFFSETS, c);
}

// The table entry of a non-ASCII character whose lowercase differs, or null.
constexpr const tables::LowercaseMapping* find_lowercase(char32_t c) noexcept {
  const auto* end = std::end(tables::LOWERCASE_MAPPINGS);
  const auto* found = std::lower_bound(std::begin(tables::LOWERCASE_MAPPINGS), end, c,
                                       [](const tables::LowercaseMapping& m, char32_t value) { return m.code < value; });
  return found != end && found->code == c ? found : nullptr;
}

}  // namespace ardovel::unicode_properties
