// Counting, testing and editing characters at the end of a UTF-8 text.
#include <cstdint>
#include <cstring>

#include "ardovel/utf8.hpp"
#include "unicode/unicode.hpp"

namespace ardovel {
namespace {

using utf8::is_continuation;

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
  const std::size_t length = utf8::encode(c, encoded);
  return text.size() >= length && std::memcmp(text.data() + text.size() - length, encoded, length) == 0;
}

void pop_char(Text& text) noexcept {
  if (text.empty()) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t end = text.size() - 1;
  while (end > 0 && is_continuation(bytes[end])) --end;
  text.truncate(end);
}

void push_char(Text& text, Character c) { utf8::append(text, c); }

}  // namespace ardovel
