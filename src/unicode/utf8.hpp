// UTF-8 encoding and decoding for the stemming core. Input is always valid
// UTF-8, so nothing here checks for malformed sequences.
#pragma once

#include <cstddef>

#include "unicode/text.hpp"
#include "unicode/unicode.hpp"

namespace ardovel::utf8 {

constexpr bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0U) == 0x80U; }

// The byte length of the character that `lead` begins.
constexpr std::size_t decode_length(unsigned char lead) noexcept {
  return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
}

// Decodes the character starting at `at` and moves `at` past it.
constexpr Character decode(const unsigned char* bytes, std::size_t& at) noexcept {
  const unsigned char lead = bytes[at++];
  if (lead < 0x80) return lead;
  const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  Character c = lead & (0x3FU >> extra);
  for (std::size_t i = 0; i < extra; ++i) c = (c << 6) | (bytes[at++] & 0x3FU);
  return c;
}

// Decodes the character that ends just before `at` and moves `at` to its
// first byte.
constexpr Character decode_before(const unsigned char* bytes, std::size_t& at) noexcept {
  do --at;
  while (is_continuation(bytes[at]));
  std::size_t next = at;
  return decode(bytes, next);
}

// Writes the encoding of `c` into `out` and returns its length.
constexpr std::size_t encode(Character c, char (&out)[4]) noexcept {
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

inline void append(Text& text, Character c) {
  char encoded[4];
  const std::size_t length = encode(c, encoded);
  char* dest = text.extend(length);
  for (std::size_t i = 0; i < length; ++i) dest[i] = encoded[i];
}

}  // namespace ardovel::utf8
