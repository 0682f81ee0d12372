// NFKC over the generated Unicode 16.0.0 normalization tables.
//
// Text is copied as it is up to the first character that is not a safe
// starter (class 0, quick-check Yes: property value 0); from the last safe
// starter before that one to the next one after it, it is decomposed,
// reordered and composed. Nothing before a safe starter composes with it or
// moves past it, so those stretches can be normalized one by one.
#include "unicode/normalization.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "unicode/composer.hpp"

namespace ardovel {
namespace {

namespace tables = unicode_tables;
using normalization::properties;
using normalization::load;

// For each byte value, the bytes after it (by their low six bits) with
// which it leaves the text NFKC on its own: any byte after ASCII or a
// continuation byte (judged with its lead); after the lead of a two-byte
// character, the second bytes that make it a safe starter (class 0,
// quick-check Yes); after longer leads, none. Made from the generated tables
// when this is compiled. Each byte is judged with the next one alone, so a
// text is checked byte by byte with no chain from one character to the
// next, and nearly all of ASCII, Latin with diacritics and Cyrillic passes.
struct SafeAfter {
  std::uint64_t seconds[256];
};

constexpr SafeAfter safe_after() noexcept {
  SafeAfter table{};
  for (unsigned byte = 0; byte < 0xC0; ++byte) table.seconds[byte] = ~std::uint64_t{0};
  for (Character c = 0x80; c < 0x800; ++c) {
    if (properties(c) == 0) table.seconds[0xC0 | (c >> 6)] |= std::uint64_t{1} << (c & 63U);
  }
  return table;
}

inline constexpr SafeAfter SAFE_AFTER = safe_after();

// Where the character that ends at `at` starts.
std::size_t previous_start(const unsigned char* bytes, std::size_t at) noexcept {
  if (at == 0) return 0;
  do --at;
  while (utf8::is_continuation(bytes[at]));
  return at;
}

// The first safe starter at or after `at`, or `size`.
std::size_t next_safe_starter(const unsigned char* bytes, std::size_t at, std::size_t size) noexcept {
  while (at < size) {
    const std::size_t start = at;
    if (properties(utf8::decode(bytes, at)) == 0) return start;
  }
  return size;
}

// Normalizes bytes [from, to) and appends them to `out`.
void normalize_stretch(const unsigned char* bytes, std::size_t from, std::size_t to, Text& out) {
  normalization::Composer composer(out);
  for (std::size_t at = from; at < to;) composer.add(utf8::decode(bytes, at));
  composer.flush();
}

// The quick check from byte `at` on, where the first character starts that
// the byte-wise checks did not pass; everything before it is NFKC. Marks must come in canonical order, No fails at once, and a stretch
// around a Maybe character is normalized and compared with itself.
bool is_nfkc_from(std::string_view text, std::size_t at) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t safe = previous_start(bytes, at);
  unsigned last_rank = 0;
  while (at < size) {
    const std::size_t start = at;
    const unsigned value = properties(utf8::decode(bytes, at));
    if (value == 0) {
      safe = start;
      last_rank = 0;
      continue;
    }
    const unsigned check = value & 3U;
    const unsigned rank = value >> 2;
    if (check == tables::QUICK_CHECK_NO) return false;
    if (rank != 0 && rank < last_rank) return false;
    last_rank = rank;
    if (check == tables::QUICK_CHECK_MAYBE) {
      const std::size_t end = next_safe_starter(bytes, at, size);
      Text normalized;
      normalize_stretch(bytes, safe, end, normalized);
      if (normalized.view() != text.substr(safe, end - safe)) return false;
      at = end;
    }
  }
  return true;
}

#if defined(__SSE2__)
// The common case sixteen bytes at a time. Every lead byte of Serbian text
// is D0 or D1 (Cyrillic U+0400..U+047F), C3 (U+00C0..U+00FF) or C4, C5
// (U+0100..U+017F), and all of those characters are safe starters except
// six in U+0100..U+017F, whose second bytes are 80, 89, B2, B3 or BF. So a
// text passes when its leads are among those five and, if it has a C4 or
// C5 lead, none of its bytes is one of those five second bytes (Latin text
// never has them; Cyrillic text has, but no C4 or C5). Each byte is judged
// by its value alone, so the bytes may be gathered in any order, twice
// over, or padded with zeros: short texts are read with overlapping loads,
// never past their end.
struct Verdicts {
  __m128i bad_lead = _mm_setzero_si128();
  __m128i latin_lead = _mm_setzero_si128();
  __m128i suspect = _mm_setzero_si128();

  void add(__m128i v) noexcept {
    const auto byte = [](unsigned value) { return _mm_set1_epi8(static_cast<char>(value)); };
    const __m128i odd = _mm_or_si128(v, byte(0x01));
    const __m128i lead = _mm_and_si128(_mm_cmpgt_epi8(v, byte(0xBF)), _mm_cmplt_epi8(v, _mm_setzero_si128()));
    const __m128i latin = _mm_cmpeq_epi8(odd, byte(0xC5));
    const __m128i known = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(odd, byte(0xD1)), latin), _mm_cmpeq_epi8(v, byte(0xC3)));
    bad_lead = _mm_or_si128(bad_lead, _mm_andnot_si128(known, lead));
    latin_lead = _mm_or_si128(latin_lead, latin);
    const __m128i second = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, byte(0x80)), _mm_cmpeq_epi8(v, byte(0x89))),
                                        _mm_or_si128(_mm_cmpeq_epi8(odd, byte(0xB3)), _mm_cmpeq_epi8(v, byte(0xBF))));
    suspect = _mm_or_si128(suspect, second);
  }

  [[nodiscard]] bool pass() const noexcept {
    return _mm_movemask_epi8(bad_lead) == 0 &&
           (_mm_movemask_epi8(latin_lead) == 0 || _mm_movemask_epi8(suspect) == 0);
  }
};

// What the comment above claims, checked against the tables.
constexpr bool common_case_holds() noexcept {
  for (Character c = 0xC0; c < 0x480; ++c) {
    const unsigned lead = 0xC0 | (c >> 6);
    const unsigned second = 0x80 | (c & 63U);
    const bool latin = lead == 0xC4 || lead == 0xC5;
    if (lead != 0xC3 && !latin && lead != 0xD0 && lead != 0xD1) continue;
    const bool suspect = second == 0x80 || second == 0x89 || second == 0xB2 || second == 0xB3 || second == 0xBF;
    if (properties(c) != 0 && !(latin && suspect)) return false;
  }
  return true;
}
static_assert(common_case_holds());

bool passes_common_case(const unsigned char* bytes, std::size_t size) noexcept {
  Verdicts verdicts;
  if (size >= 8) {
    // Sixteen bytes a step as two words, the last ones moved back to end
    // at the end of the text.
    for (std::size_t at = 0; at < size; at += 16) {
      const auto low = load<std::uint64_t>(bytes + std::min(at, size - 8));
      const auto high = load<std::uint64_t>(bytes + std::min(at + 8, size - 8));
      verdicts.add(_mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low)));
    }
  } else if (size >= 4) {
    const std::uint64_t both = load<std::uint32_t>(bytes) | std::uint64_t{load<std::uint32_t>(bytes + size - 4)} << 32;
    verdicts.add(_mm_cvtsi64_si128(static_cast<long long>(both)));
  } else if (size > 0) {
    const unsigned three = bytes[0] | unsigned{bytes[size / 2]} << 8 | unsigned{bytes[size - 1]} << 16;
    verdicts.add(_mm_cvtsi32_si128(static_cast<int>(three)));
  }
  return verdicts.pass();
}
#endif

}  // namespace

bool is_nfkc(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
#if defined(__SSE2__)
  if (passes_common_case(bytes, size)) return true;
#endif
  // The last byte of valid UTF-8 is never a lead, so it needs no check.
  std::uint64_t safe = 1;
  for (std::size_t at = 0; at + 1 < size; ++at) safe &= SAFE_AFTER.seconds[bytes[at]] >> (bytes[at + 1] & 63U);
  if ((safe & 1U) != 0) return true;
  // Find the first character that failed, the place to go on from.
  std::size_t at = 0;
  while (bytes[at] < 0x80 || (bytes[at] < 0xE0 && ((SAFE_AFTER.seconds[bytes[at]] >> (bytes[at + 1] & 63U)) & 1U) != 0)) {
    at += bytes[at] < 0x80 ? 1 : 2;
  }
  return is_nfkc_from(text, at);
}

void to_nfkc(std::string_view text, Text& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  out.clear();
  out.reserve(size);
  std::size_t copied = 0;  // bytes before this one are in `out`
  std::size_t safe = 0;    // the last safe starter seen
  for (std::size_t at = 0; at < size;) {
    const std::size_t start = at;
    const unsigned char lead = bytes[at];
    if (lead < 0x80) {
      safe = at++;
      continue;
    }
    if (properties(utf8::decode(bytes, at)) == 0) {
      safe = start;
      continue;
    }
    out.append(text.substr(copied, safe - copied));
    const std::size_t end = next_safe_starter(bytes, at, size);
    normalize_stretch(bytes, safe, end, out);
    copied = safe = at = end;
  }
  out.append(text.substr(copied));
}

std::string_view nfkc(std::string_view text, Text& scratch) {
  if (is_nfkc(text)) return text;
  to_nfkc(text, scratch);
  return scratch.view();
}

namespace normalization {

Character compose(Character first, Character second) noexcept {
  if (second - HANGUL_V < HANGUL_V_COUNT) {
    const Character l = first - HANGUL_L;
    constexpr Character l_count = 19;
    if (l >= l_count) return 0;
    return HANGUL_FIRST + (l * HANGUL_V_COUNT + (second - HANGUL_V)) * HANGUL_T_COUNT;
  }
  if (second - HANGUL_T - 1 < HANGUL_T_COUNT - 1) {
    if (!is_hangul_syllable(first) || (first - HANGUL_FIRST) % HANGUL_T_COUNT != 0) return 0;
    return first + (second - HANGUL_T);
  }
  const auto* seconds_end = std::end(tables::COMPOSITION_SECONDS);
  const auto* found = std::lower_bound(std::begin(tables::COMPOSITION_SECONDS), seconds_end, second);
  if (found == seconds_end || *found != second) return 0;
  const auto index = static_cast<std::size_t>(found - std::begin(tables::COMPOSITION_SECONDS));
  const auto* begin = tables::COMPOSITIONS + tables::COMPOSITION_STARTS[index];
  const auto* end = tables::COMPOSITIONS + tables::COMPOSITION_STARTS[index + 1];
  const auto* pair = std::lower_bound(begin, end, first,
                                      [](const tables::Composition& p, Character value) { return p.first < value; });
  return pair != end && pair->first == first ? pair->composite : 0;
}

}  // namespace normalization
}  // namespace ardovel
