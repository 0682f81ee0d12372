// Lowercasing and character classes over the generated Unicode 16.0.0 tables.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "unicode/tables.hpp"
#include "unicode/unicode.hpp"
#include "unicode/utf8.hpp"

namespace ardovel {
namespace {

namespace tables = unicode_tables;

constexpr Character CAPITAL_SIGMA = 0x03A3;
constexpr Character SMALL_SIGMA = 0x03C3;
constexpr Character SMALL_FINAL_SIGMA = 0x03C2;

// See the generator for the layout: each run word holds a boundary code point
// in its low 21 bits and the index of the run's first delta in its high 11.
// Boundaries alternate between range starts and range ends, so a code point
// is in the set when the last boundary at or below it has an even index.
template <std::size_t Runs, std::size_t Offsets>
bool in_ranges(const std::uint32_t (&runs)[Runs], const std::uint8_t (&offsets)[Offsets], Character c) noexcept {
  constexpr std::uint32_t code_mask = (1U << 21) - 1;
  const auto* after = std::upper_bound(std::begin(runs), std::end(runs), c,
                                       [](Character value, std::uint32_t run) { return value < (run & code_mask); });
  if (after == std::begin(runs)) return false;
  const std::size_t run = static_cast<std::size_t>(after - std::begin(runs)) - 1;
  std::size_t offset = runs[run] >> 21;
  const std::size_t run_end = after == std::end(runs) ? Offsets : (*after >> 21);
  // Each run's first boundary is kept in its word, not among the deltas.
  std::size_t boundary = offset + run;
  Character point = runs[run] & code_mask;
  for (; offset < run_end && point + offsets[offset] <= c; ++offset, ++boundary) point += offsets[offset];
  return boundary % 2 == 0;
}

constexpr bool is_ascii_upper(unsigned char byte) noexcept { return byte >= 'A' && byte <= 'Z'; }
constexpr char ascii_lower(unsigned char byte) noexcept {
  return static_cast<char>(is_ascii_upper(byte) ? byte + 0x20 : byte);
}

// Lowercases eight ASCII bytes at once. Each byte is below 0x80, so adding
// at most 0x3F never carries into the next byte; a byte's top bit then says
// whether it reached 'A', and whether it went past 'Z'.
constexpr std::uint64_t lower_ascii_word(std::uint64_t word) noexcept {
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  const std::uint64_t from_a = word + ones * (0x80 - 'A');
  const std::uint64_t past_z = word + ones * (0x80 - 'Z' - 1);
  const std::uint64_t upper = from_a & ~past_z & (ones * 0x80);
  return word | (upper >> 2);
}

// Lowercases the leading ASCII run into `out` and returns its length.
std::size_t lower_ascii_prefix(const unsigned char* bytes, std::size_t size, Text& out) {
  constexpr std::uint64_t high_bits = 0x8080808080808080ULL;
  std::size_t i = 0;
  for (; i + 16 <= size; i += 16) {
    std::uint64_t words[2];
    std::memcpy(words, bytes + i, 16);
    if (((words[0] | words[1]) & high_bits) != 0) break;
    words[0] = lower_ascii_word(words[0]);
    words[1] = lower_ascii_word(words[1]);
    std::memcpy(out.extend(16), words, 16);
  }
  for (; i < size && bytes[i] < 0x80; ++i) out.push_back(ascii_lower(bytes[i]));
  return i;
}

const tables::LowercaseMapping* find_lowercase(Character c) noexcept {
  const auto* end = std::end(tables::LOWERCASE_MAPPINGS);
  const auto* found = std::lower_bound(std::begin(tables::LOWERCASE_MAPPINGS), end, c,
                                       [](const tables::LowercaseMapping& m, Character value) { return m.code < value; });
  return found != end && found->code == c ? found : nullptr;
}

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
      out.push_back(ascii_lower(bytes[i++]));
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

bool is_alphabetic(Character c) noexcept {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return in_ranges(tables::ALPHABETIC_RUNS, tables::ALPHABETIC_OFFSETS, c);
}

bool is_numeric(Character c) noexcept {
  if (c < 0x80) return c >= '0' && c <= '9';
  return in_ranges(tables::NUMERIC_RUNS, tables::NUMERIC_OFFSETS, c);
}

bool is_alphanumeric(Character c) noexcept { return is_alphabetic(c) || is_numeric(c); }

bool is_whitespace(Character c) noexcept {
  if (c < 0x80) return c == ' ' || (c >= 0x09 && c <= 0x0D);
  switch (c >> 8) {
    case 0x00: return (tables::WHITE_SPACE_FLAGS[c] & 1U) != 0;
    case 0x20: return (tables::WHITE_SPACE_FLAGS[c & 0xFF] & 2U) != 0;
    default: return c == tables::WHITE_SPACE_SINGLES[0] || c == tables::WHITE_SPACE_SINGLES[1];
  }
}

bool is_cased(Character c) noexcept { return in_ranges(tables::CASED_RUNS, tables::CASED_OFFSETS, c); }

bool is_case_ignorable(Character c) noexcept {
  return in_ranges(tables::CASE_IGNORABLE_RUNS, tables::CASE_IGNORABLE_OFFSETS, c);
}

}  // namespace ardovel
