// The accent drop over NFKC text (accents.hpp): a scan that finds nothing
// to do on nearly every token, and a per-sequence rebuild for the rest.
#include "unicode/accents.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "unicode/composer.hpp"
#include "unicode/normalization.hpp"
#include "ardovel/utf8.hpp"

namespace ardovel {
namespace {

using normalization::class_rank;
using normalization::load;

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

#if defined(__SSE2__)
// The common case sixteen bytes at a time: every lead is C4, C5 (Latin
// U+0100..U+017F) or D0, D1 (Cyrillic U+0400..U+047F), and no lead is
// followed by the second byte of a letter that may carry an accent:
// ĀāĒēĨĩĪī after C4, ŌōŔŕŨũŪū after C5, ЀЍ after D0, ѐѝ after D1. When
// the text must be NFKC as well, nor by that of one of the six letters
// there that are not safe starters: ĲĳĿ after C4, ŀŉſ after C5.
constexpr bool flagged(unsigned lead, unsigned second, bool normalizing) noexcept {
  const bool wide_vowel = (second & 0xFCU) == 0xA8;  // Ĩ ĩ Ī ī, Ũ ũ Ū ū
  switch (lead) {
    case 0xC4:
      return (second | 1U) == 0x81 || (second | 1U) == 0x93 || wide_vowel ||
             (normalizing && ((second | 1U) == 0xB3 || second == 0xBF));
    case 0xC5:
      return (second | 1U) == 0x8D || (second | 1U) == 0x95 || wide_vowel ||
             (normalizing && (second == 0x80 || second == 0x89 || second == 0xBF));
    case 0xD0: return second == 0x80 || second == 0x8D;
    case 0xD1: return second == 0x90 || second == 0x9D;
    default: return true;
  }
}

// What the comment above claims, checked against the tables.
constexpr bool common_case_holds() noexcept {
  for (Character c = 0x100; c < 0x480; ++c) {
    const unsigned lead = 0xC0 | (c >> 6);
    if (lead != 0xC4 && lead != 0xC5 && lead != 0xD0 && lead != 0xD1) continue;
    const unsigned second = 0x80 | (c & 63U);
    if (may_carry_accent(c) && !flagged(lead, second, false)) return false;
    if (normalization::properties(c) != 0 && !flagged(lead, second, true)) return false;
  }
  return true;
}
static_assert(common_case_holds());

// Each byte is judged with the one after it, so the bytes are gathered in
// pairs of eight-byte words, each with the word of the bytes that follow
// them; a short text in smaller pieces, never read past its end. A byte
// whose follower is not at hand is the text's last, which is no lead.
template <bool Normalizing>
struct Pairs {
  __m128i unusual = _mm_setzero_si128();
  __m128i flags = _mm_setzero_si128();

  void add(std::uint64_t low, std::uint64_t low_next, std::uint64_t high, std::uint64_t high_next) noexcept {
    const auto byte = [](unsigned value) { return _mm_set1_epi8(static_cast<char>(value)); };
    const auto is = [](__m128i v, __m128i value) { return _mm_cmpeq_epi8(v, value); };
    const __m128i v = _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
    const __m128i next = _mm_set_epi64x(static_cast<long long>(high_next), static_cast<long long>(low_next));
    const __m128i odd = _mm_or_si128(v, byte(0x01));
    const __m128i lead = _mm_and_si128(_mm_cmpgt_epi8(v, byte(0xBF)), _mm_cmplt_epi8(v, _mm_setzero_si128()));
    unusual = _mm_or_si128(unusual, _mm_andnot_si128(_mm_or_si128(is(odd, byte(0xC5)), is(odd, byte(0xD1))), lead));
    const __m128i next_odd = _mm_or_si128(next, byte(0x01));
    const __m128i wide_vowel = is(_mm_and_si128(next, byte(0xFC)), byte(0xA8));
    __m128i after_c4 = _mm_or_si128(_mm_or_si128(is(next_odd, byte(0x81)), is(next_odd, byte(0x93))), wide_vowel);
    __m128i after_c5 = _mm_or_si128(_mm_or_si128(is(next_odd, byte(0x8D)), is(next_odd, byte(0x95))), wide_vowel);
    if constexpr (Normalizing) {
      const __m128i bf = is(next, byte(0xBF));
      after_c4 = _mm_or_si128(after_c4, _mm_or_si128(is(next_odd, byte(0xB3)), bf));
      after_c5 = _mm_or_si128(after_c5, _mm_or_si128(_mm_or_si128(is(next, byte(0x80)), is(next, byte(0x89))), bf));
    }
    const __m128i after_d0 = _mm_or_si128(is(next, byte(0x80)), is(next, byte(0x8D)));
    const __m128i after_d1 = _mm_or_si128(is(next, byte(0x90)), is(next, byte(0x9D)));
    const __m128i flagged_pair =
        _mm_or_si128(_mm_or_si128(_mm_and_si128(is(v, byte(0xC4)), after_c4), _mm_and_si128(is(v, byte(0xC5)), after_c5)),
                     _mm_or_si128(_mm_and_si128(is(v, byte(0xD0)), after_d0), _mm_and_si128(is(v, byte(0xD1)), after_d1)));
    flags = _mm_or_si128(flags, flagged_pair);
  }

  [[nodiscard]] bool clear() const noexcept { return _mm_movemask_epi8(_mm_or_si128(unusual, flags)) == 0; }
};

// The word of the eight bytes after those of `word` read at `at`.
std::uint64_t following(std::uint64_t word, const unsigned char* bytes, std::size_t at, std::size_t size) noexcept {
  return (word >> 8) | std::uint64_t{bytes[std::min(at + 8, size - 1)]} << 56;
}

template <bool Normalizing>
bool clear_in_common_case(const unsigned char* bytes, std::size_t size) noexcept {
  Pairs<Normalizing> pairs;
  if (size >= 8) {
    for (std::size_t at = 0; at < size; at += 16) {
      const std::size_t low_at = std::min(at, size - 8);
      const std::size_t high_at = std::min(at + 8, size - 8);
      const auto low = load<std::uint64_t>(bytes + low_at);
      const auto high = load<std::uint64_t>(bytes + high_at);
      pairs.add(low, following(low, bytes, low_at, size), high, following(high, bytes, high_at, size));
    }
  } else if (size >= 4) {
    const std::uint64_t low = load<std::uint32_t>(bytes);
    const std::uint64_t high = load<std::uint32_t>(bytes + size - 4);
    const std::uint64_t low_next = (low >> 8) | std::uint64_t{bytes[std::min<std::size_t>(4, size - 1)]} << 24;
    pairs.add(low | high << 32, low_next | (high >> 8) << 32, 0, 0);
  } else if (size > 0) {
    const std::uint64_t three = bytes[0] | unsigned{bytes[size / 2]} << 8 | unsigned{bytes[size - 1]} << 16;
    const std::uint64_t next = bytes[std::min<std::size_t>(1, size - 1)] |
                               unsigned{bytes[std::min(size / 2 + 1, size - 1)]} << 8;
    pairs.add(three, next, 0, 0);
  }
  return pairs.clear();
}
#endif

bool holds_accent(std::string_view text) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
#if defined(__SSE2__)
  if (clear_in_common_case<false>(bytes, size)) return false;
#endif
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

std::string_view nfkc_without_accents(std::string_view text, Text& scratch) {
#if defined(__SSE2__)
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  if (clear_in_common_case<true>(bytes, text.size())) return text;
#endif
  if (is_nfkc(text)) return without_accents(text, scratch);
  Text normalized;
  to_nfkc(text, normalized);
  if (!holds_accent(normalized.view())) {
    scratch = std::move(normalized);
    return scratch.view();
  }
  drop_accents(normalized.view(), scratch);
  return scratch.view();
}

}  // namespace ardovel
