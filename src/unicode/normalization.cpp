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
#include <iterator>

#include "unicode/composer.hpp"

namespace ardovel {
namespace {

namespace tables = unicode_tables;
using normalization::properties;

// One bit per code point below U+0800 (ASCII, Latin with diacritics, Greek,
// Cyrillic, ...), set for the safe starters, taken from the generated
// tables when this is compiled. A two-byte character is word (lead & 31),
// bit (second & 63).
struct LowSafeStarters {
  std::uint64_t words[32];
};

constexpr LowSafeStarters low_safe_starters() noexcept {
  LowSafeStarters table{};
  for (Character c = 0; c < 0x800; ++c) {
    if (properties(c) == 0) table.words[c >> 6] |= std::uint64_t{1} << (c & 63U);
  }
  return table;
}

inline constexpr LowSafeStarters LOW_SAFE_STARTERS = low_safe_starters();

bool is_low_safe_starter(unsigned char lead, unsigned char second) noexcept {
  return ((LOW_SAFE_STARTERS.words[lead & 31U] >> (second & 63U)) & 1U) != 0;
}

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

// The quick check from byte `at` on, which starts a character that is not
// a safe starter below U+0800 (or ends the text); everything before it is
// NFKC. Marks must come in canonical order, No fails at once, and a stretch
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

}  // namespace

bool is_nfkc(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t at = 0;
  while (at < size) {
    const unsigned char lead = bytes[at];
    if (lead < 0x80) {
      ++at;
    } else if (lead < 0xE0 && is_low_safe_starter(lead, bytes[at + 1])) {
      at += 2;
    } else {
      return is_nfkc_from(text, at);
    }
  }
  return true;
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
