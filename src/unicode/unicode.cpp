// Lowercasing and character classes over the generated Unicode 16.0.0 tables.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "ardovel/utf8.hpp"
#include "unicode/properties.hpp"
#include "unicode/tables.hpp"
#include "unicode/unicode.hpp"

namespace ardovel {
namespace {

namespace tables = unicode_tables;

constexpr Character CAPITAL_SIGMA = 0x03A3;
constexpr Character SMALL_SIGMA = 0x03C3;
constexpr Character SMALL_FINAL_SIGMA = 0x03C2;

// Lowercases the leading ASCII run into `out` and returns its length.
std::size_t lower_ascii_prefix(const unsigned char* bytes, std::size_t size, Text& out) {
  std::size_t i = 0;
  for (; i + 16 <= size; i += 16) {
    std::uint64_t words[2];
    std::memcpy(words, bytes + i, 16);
    if (((words[0] | words[1]) & ascii::high_bits) != 0) break;
    words[0] = ascii::lower_block(words[0]);
    words[1] = ascii::lower_block(words[1]);
    std::memcpy(out.extend(16), words, 16);
  }
  for (; i < size && bytes[i] < 0x80; ++i) out.push_back(ascii::lower(bytes[i]));
  return i;
}

using unicode_properties::find_lowercase;

// Both scans pass over case-ignorable characters, including those that are
// also cased, and stop at the first other one, which decides.
bool cased_before(const unsigned char* bytes, std::size_t at) noexcept {
  while (at > 0) {
    const Character c = utf8::decode_before(bytes, at);
    if (!is_case_ignorable(c)) return is_cased(c);
  }
  return false;
}

bool cased_after(const unsigned char* bytes, std::size_t at, std::size_t size) noexcept {
  while (at < size) {
    const Character c = utf8::decode(bytes, at);
    if (!is_case_ignorable(c)) return is_cased(c);
  }
  return false;
}

// The sigma spans [start, end) of the original input; its neighbours are
// read from there, never from the partly lowercased output.
Character lower_sigma(const unsigned char* bytes, std::size_t start, std::size_t end, std::size_t size) noexcept {
  const bool final = cased_before(bytes, start) && !cased_after(bytes, end, size);
  return final ? SMALL_FINAL_SIGMA : SMALL_SIGMA;
}

}  // namespace

void to_lowercase(std::string_view text, Text& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  out.clear();
  out.reserve(size);
  std::size_t i = lower_ascii_prefix(bytes, size, out);
  while (i < size) {
    if (bytes[i] < 0x80) {
      out.push_back(ascii::lower(bytes[i++]));
      continue;
    }
    const std::size_t start = i;
    const Character c = utf8::decode(bytes, i);
    if (c == CAPITAL_SIGMA) {
      utf8::append(out, lower_sigma(bytes, start, i, size));
    } else if (const auto* mapping = find_lowercase(c)) {
      utf8::append(out, mapping->lower[0]);
      if (mapping->lower[1] != 0) utf8::append(out, mapping->lower[1]);
    } else {
      out.append(text.substr(start, i - start));
    }
  }
}

unsigned lowercase_char_at(std::string_view text, std::size_t& at, Character (&lower)[2]) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t start = at;
  const Character c = utf8::decode(bytes, at);
  if (c < 0x80) {
    lower[0] = static_cast<unsigned char>(ascii::lower(static_cast<unsigned char>(c)));
    return 1;
  }
  if (c == CAPITAL_SIGMA) {
    lower[0] = lower_sigma(bytes, start, at, text.size());
    return 1;
  }
  if (const auto* mapping = find_lowercase(c)) {
    lower[0] = mapping->lower[0];
    lower[1] = mapping->lower[1];
    return mapping->lower[1] != 0 ? 2 : 1;
  }
  lower[0] = c;
  return 1;
}

bool is_alphabetic(Character c) noexcept { return unicode_properties::alphabetic(c); }
bool is_numeric(Character c) noexcept { return unicode_properties::numeric(c); }
bool is_alphanumeric(Character c) noexcept { return is_alphabetic(c) || is_numeric(c); }
bool is_whitespace(Character c) noexcept { return unicode_properties::whitespace(c); }
bool is_cased(Character c) noexcept { return unicode_properties::cased(c); }
bool is_case_ignorable(Character c) noexcept { return unicode_properties::case_ignorable(c); }

}  // namespace ardovel
