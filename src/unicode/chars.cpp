// Counting, testing and editing characters at the end of a UTF-8 text.
#include <cstdint>
#include <cstring>

#include "unicode/unicode.hpp"

namespace ardovel {
namespace {

constexpr bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0U) == 0x80U; }

// Writes the UTF-8 encoding of `c` into `out` and returns its length.
std::size_t encode(Character c, char (&out)[4]) noexcept {
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

std::size_t count_bytewise(const unsigned char* bytes, std::size_t size) noexcept {
  std::size_t count = 0;
  for (std::size_t i = 0; i < size; ++i) count += !is_continuation(bytes[i]);
  return count;
}

}  // namespace

std::size_t char_count(std::string_view text) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  if (size < 32) return count_bytewise(bytes, size);

  // A continuation byte is 10xxxxxx: bit 7 set and bit 6 clear. Count those
  // a machine word at a time and subtract them from the byte count.
  constexpr std::uint64_t high_bits = 0x8080808080808080ULL;
  std::size_t continuations = 0;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    const std::uint64_t marks = word & ~(word << 1) & high_bits;
    continuations += static_cast<std::size_t>(__builtin_popcountll(marks));
  }
  return (i - continuations) + count_bytewise(bytes + i, size - i);
}

bool ends_with_char(std::string_view text, Character c) noexcept {
  char encoded[4];
  const std::size_t length = encode(c, encoded);
  return text.size() >= length && std::memcmp(text.data() + text.size() - length, encoded, length) == 0;
}

void pop_char(Text& text) noexcept {
  if (text.empty()) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t end = text.size() - 1;
  while (end > 0 && is_continuation(bytes[end])) --end;
  text.truncate(end);
}

void push_char(Text& text, Character c) {
  char encoded[4];
  const std::size_t length = encode(c, encoded);
  text.append(std::string_view(encoded, length));
}

}  // namespace ardovel
