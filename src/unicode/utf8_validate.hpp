// Strict UTF-8 validation for text read from outside. The stemming core takes
// valid UTF-8 on trust, so every byte a front end hands it from a file, a
// database or a fuzzer passes through here first: no overlong forms, no
// surrogates (U+D800..U+DFFF), nothing above U+10FFFF, no truncated
// sequences. This is the project's one validator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

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

// Index of the first byte of the first ill-formed sequence in
// [bytes, bytes + size), or `size` when all of it is well-formed.
inline std::size_t find_invalid_utf8(const unsigned char* bytes, std::size_t size) noexcept {
  std::size_t at = 0;
  while (at < size) {
    // Eight ASCII bytes at a time: most text is mostly ASCII.
    while (at + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, bytes + at, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      at += 8;
    }
    if (at >= size) break;
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
