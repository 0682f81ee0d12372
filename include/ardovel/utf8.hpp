// UTF-8: the project's one validator, and coding of valid text.
//
// The core takes valid UTF-8 on trust, so every byte a front end hands it
// from a file, a database or a fuzzer passes through the validator first:
// no overlong forms, no surrogates (U+D800..U+DFFF), nothing above
// U+10FFFF, no truncated sequences. The coding functions below take valid
// text and check nothing.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "ardovel/text.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ardovel {

// The length of the well-formed sequence that starts at bytes[0], reading at
// most `available` (> 0) bytes, or 0 when bytes[0] starts none: a stray
// continuation byte, a lead no sequence may have, or a sequence that is
// truncated or broken. Lenient readers treat such a byte as a separator.
inline std::size_t well_formed_utf8_length(const unsigned char* bytes, std::size_t available) noexcept {
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return 1;
  // Bounds of the second byte and the count of continuation bytes, by the
  // table of well-formed byte sequences.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  std::size_t length;
  if (lead < 0xC2) {
    return 0;  // a stray continuation byte, or an overlong two-byte lead
  } else if (lead < 0xE0) {
    length = 2;
  } else if (lead < 0xF0) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;        // overlong
    else if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead < 0xF5) {
    length = 4;
    if (lead == 0xF0) low = 0x90;        // overlong
    else if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (available < length) return 0;
  const unsigned char second = bytes[1];
  if (second < low || second > high) return 0;
  if (length > 2 && (bytes[2] & 0xC0U) != 0x80U) return 0;
  if (length > 3 && (bytes[3] & 0xC0U) != 0x80U) return 0;
  return length;
}

namespace utf8_detail {

#if defined(__SSE2__)
// How many of the sixteen bytes at `bytes` are whole characters of one or
// two bytes, well-formed, counted from the first (which starts a
// character): the longest such run, less a lead in its last place whose
// continuation may lie beyond. Serbian text is nearly all such characters,
// so it is checked sixteen bytes at a time; the rest goes one character at
// a time.
inline std::size_t short_characters16(const unsigned char* bytes) noexcept {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
  if (high == 0) return 16;
  // 0x80..0xBF and 0xC2..0xDF, as signed bytes.
  const auto continuation =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(0xC0)))));
  const __m128i from_c2 = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - 0xC2)));
  const auto lead = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(from_c2, _mm_set1_epi8(-128 + 30))));
  // A byte of neither kind, a continuation byte without a lead right
  // before it, or a lead without one right after.
  const unsigned wrong = (high & ~(continuation | lead)) | (continuation ^ ((lead << 1) & 0xFFFFU));
  const unsigned run = wrong == 0 ? 16U : static_cast<unsigned>(std::countr_zero(wrong));
  return run - (((lead << 1) >> run) & 1U);
}
#endif

}  // namespace utf8_detail

// Index of the first byte of the first ill-formed sequence in
// [bytes, bytes + size), or `size` when all of it is well-formed.
inline std::size_t find_invalid_utf8(const unsigned char* bytes, std::size_t size) noexcept {
  std::size_t at = 0;
  while (at < size) {
#if defined(__SSE2__)
    if (size - at >= 16) {
      // A run that stops short of sixteen mostly stops at a lead whose
      // continuation is in the next sixteen, which the next run takes.
      const std::size_t run = utf8_detail::short_characters16(bytes + at);
      at += run;
      if (run != 0) continue;
    }
#else
    // Eight ASCII bytes at a time: most text is mostly ASCII.
    while (at + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, bytes + at, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      at += 8;
    }
    if (at >= size) break;
#endif
    const std::size_t length = well_formed_utf8_length(bytes + at, size - at);
    if (length == 0) return at;
    at += length;
  }
  return size;
}

inline bool is_valid_utf8(std::string_view text) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  return find_invalid_utf8(bytes, text.size()) == text.size();
}

}  // namespace ardovel

namespace ardovel::utf8 {

constexpr bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0U) == 0x80U; }

// The byte length of the character that `lead` begins.
constexpr std::size_t decode_length(unsigned char lead) noexcept {
  return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
}

// Decodes the character starting at `at` and moves `at` past it.
constexpr char32_t decode(const unsigned char* bytes, std::size_t& at) noexcept {
  const unsigned char lead = bytes[at++];
  if (lead < 0x80) return lead;
  const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  char32_t c = lead & (0x3FU >> extra);
  for (std::size_t i = 0; i < extra; ++i) c = (c << 6) | (bytes[at++] & 0x3FU);
  return c;
}

// Decodes the character that ends just before `at` and moves `at` to its
// first byte.
constexpr char32_t decode_before(const unsigned char* bytes, std::size_t& at) noexcept {
  do --at;
  while (is_continuation(bytes[at]));
  std::size_t next = at;
  return decode(bytes, next);
}

// Writes the encoding of `c` into `out` and returns its length.
constexpr std::size_t encode(char32_t c, char (&out)[4]) noexcept {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

inline void append(Text& text, char32_t c) {
  char encoded[4];
  const std::size_t length = encode(c, encoded);
  char* dest = text.extend(length);
  for (std::size_t i = 0; i < length; ++i) dest[i] = encoded[i];
}

}  // namespace ardovel::utf8
