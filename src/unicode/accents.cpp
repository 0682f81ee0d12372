// The accent drop over NFKC text (accents.hpp): a scan that finds nothing
// to do on nearly every token, and a per-sequence rebuild for the rest.
#include "unicode/accents.hpp"

#include <cstdint>

#include "unicode/composer.hpp"
#include "unicode/normalization.hpp"
#include "unicode/utf8.hpp"

namespace ardovel {
namespace {

using normalization::class_rank;

// Whether a character of NFKC text may lose an accent: an accent mark
// itself, or a letter that decomposes to a base and marks among which is an
// accent mark. Whether a mark sits on a base is settled per sequence.
constexpr bool may_carry_accent(Character c) noexcept {
  if (accents::is_mark(c)) return true;
  const normalization::DecompositionBytes found = normalization::decomposition_bytes(c);
  if (found.size == 0) return false;
  std::size_t at = 0;
  if (!accents::is_base(utf8::decode(found.bytes, at))) return false;
  while (at < found.size) {
    if (accents::is_mark(utf8::decode(found.bytes, at))) return true;
  }
  return false;
}

// may_carry_accent for U+0000..U+07FF, one bit per code point, made when
// this is compiled; a two-byte character is word (lead & 31), bit
// (second & 63). Every accent mark and every precomposed Latin and Cyrillic
// vowel lies here; above, only the Latin Extended Additional letters.
struct LowAccents {
  std::uint64_t words[32];
};

constexpr LowAccents low_accents() noexcept {
  LowAccents table{};
  for (Character c = 0x80; c < 0x800; ++c) {
    if (may_carry_accent(c)) table.words[c >> 6] |= std::uint64_t{1} << (c & 63U);
  }
  return table;
}

inline constexpr LowAccents LOW_ACCENTS = low_accents();

bool holds_accent(std::string_view text) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  for (std::size_t at = 0; at < size;) {
    const unsigned char lead = bytes[at];
    if (lead < 0x80) {
      ++at;
    } else if (lead < 0xE0) {
      if (((LOW_ACCENTS.words[lead & 31U] >> (bytes[at + 1] & 63U)) & 1U) != 0) return true;
      at += 2;
    } else if (may_carry_accent(utf8::decode(bytes, at))) {
      return true;
    }
  }
  return false;
}

}  // namespace

void drop_accents(std::string_view text, Text& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  out.clear();
  out.reserve(size);
  std::size_t at = 0;
  while (at < size) {
    // One sequence: a character and the marks (non-zero class) after it.
    const std::size_t start = at;
    const Character first = utf8::decode(bytes, at);
    const bool on_base = class_rank(first) == 0 && accents::is_base(normalization::first_of_decomposition(first));
    bool change = on_base && may_carry_accent(first);
    std::size_t end = at;
    while (end < size) {
      std::size_t next = end;
      const Character c = utf8::decode(bytes, next);
      if (class_rank(c) == 0) break;
      change = change || (on_base && accents::is_mark(c));
      end = next;
    }
    if (!change) {
      out.append(text.substr(start, end - start));
      at = end;
      continue;
    }
    normalization::Composer composer(out);
    for (std::size_t pos = start; pos < end;) {
      const Character c = utf8::decode(bytes, pos);
      const normalization::DecompositionBytes found = normalization::decomposition_bytes(c);
      if (found.size == 0) {
        if (!accents::is_mark(c)) composer.add_decomposed(c);
        continue;
      }
      for (std::size_t part = 0; part < found.size;) {
        const Character d = utf8::decode(found.bytes, part);
        if (!accents::is_mark(d)) composer.add_decomposed(d);
      }
    }
    composer.flush();
    at = end;
  }
}

std::string_view without_accents(std::string_view text, Text& scratch) {
  if (!holds_accent(text)) return text;
  drop_accents(text, scratch);
  return scratch.view();
}

}  // namespace ardovel
