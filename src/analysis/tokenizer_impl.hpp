// The template definitions behind tokenizer.hpp; include that header instead.
#pragma once

#include <bit>

#include "analysis/tokenizer.hpp"
#include "unicode/normalization.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ardovel::analysis {

namespace detail {

// Calls a sink that returns void or bool; true means "go on".
template <class Sink, class Item>
bool deliver(Sink& sink, const Item& item) {
  if constexpr (std::is_void_v<std::invoke_result_t<Sink&, const Item&>>) {
    sink(item);
    return true;
  } else {
    return static_cast<bool>(sink(item));
  }
}

// Bytes that a token's scan can pass without looking further: ASCII that
// is not a separator, and in valid UTF-8 also the lead byte of a two-byte
// row with no separator in it (all of U+0100..U+017F, Latin with
// diacritics, and U+0400..U+047F, Cyrillic), and continuation bytes, which
// belong to a character whose lead was already judged. In lenient input a
// continuation byte may stand alone, so only ASCII passes there.
struct InnerBytes {
  bool inner[256];
};

constexpr InnerBytes inner_bytes(Utf8Input input) noexcept {
  InnerBytes table{};
  for (unsigned byte = 0; byte < 0x80; ++byte) table.inner[byte] = !is_ascii_separator(static_cast<unsigned char>(byte));
  if (input == Utf8Input::valid) {
    for (unsigned byte = 0x80; byte < 0xC0; ++byte) table.inner[byte] = true;
    for (unsigned lead = 0xC2; lead < 0xE0; ++lead) {
      bool any = false;
      for (unsigned bit = 0; bit < 64; ++bit) any = any || is_low_separator(lead & 31U, bit);
      table.inner[lead] = !any;
    }
  }
  return table;
}

template <Utf8Input Input>
inline constexpr InnerBytes INNER_BYTES = inner_bytes(Input);

#if defined(__SSE2__)
// Sixteen bytes at a time, a token's scan passes the bytes of nearly every
// Serbian word without a look-up: ASCII letters and digits, and the
// characters whose lead is C4/C5 (U+0100..U+017F) or D0/D1 (U+0400..U+047F)
// with their continuation bytes. Only a subset of the inner bytes: anything
// else goes the way of one character at a time.
constexpr bool is_fast_lead(unsigned byte) noexcept { return (byte & 0xFEU) == 0xC4U || (byte & 0xFEU) == 0xD0U; }
constexpr bool is_fast_ascii(unsigned byte) noexcept {
  return (byte >= '0' && byte <= '9') || ((byte | 0x20U) >= 'a' && (byte | 0x20U) <= 'z');
}
constexpr bool fast_bytes_are_inner() noexcept {
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (is_fast_ascii(byte) && !INNER_BYTES<Utf8Input::lenient>.inner[byte]) return false;
    if (is_fast_lead(byte) && !INNER_BYTES<Utf8Input::valid>.inner[byte]) return false;
  }
  return true;
}
static_assert(fast_bytes_are_inner());

inline constexpr std::size_t RUN_WIDTH = 16;

// One bit per byte of bytes[0..16): those the scan passes, the
// continuation bytes (which start no code point), and what tells whether
// the passed characters are their own NFKC: leads of U+0100..U+017F, and
// the second bytes that make the few of those that are not.
struct RunMasks {
  unsigned pass;
  unsigned continuation;
  unsigned latin_lead;
  unsigned suspect;
};

// What the scan's plainness rests on: of the characters it passes, only
// those with a lead C4/C5 and one of these second bytes may change under
// NFKC (ĳ, ŀ, ŉ, ſ and the like).
constexpr bool is_suspect_second(unsigned byte) noexcept {
  return byte == 0x80 || byte == 0x89 || byte == 0xB2 || byte == 0xB3 || byte == 0xBF;
}
constexpr bool fast_characters_are_nfkc() noexcept {
  for (Character c = 0x100; c < 0x480; ++c) {
    const unsigned lead = 0xC0 | (c >> 6);
    if (!is_fast_lead(lead)) continue;
    const bool latin = lead == 0xC4 || lead == 0xC5;
    if (normalization::properties(c) != 0 && !(latin && is_suspect_second(0x80 | (c & 63U)))) return false;
  }
  return true;
}
static_assert(fast_characters_are_nfkc());

template <Utf8Input Input>
inline RunMasks run_masks(const unsigned char* bytes) noexcept {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  // x - low < count, unsigned, through SSE2's signed compare.
  const auto below = [](__m128i x, int low, int count) {
    const __m128i shifted = _mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(0x80 - low)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + count)));
  };
  const __m128i alnum = _mm_or_si128(below(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 26), below(v, '0', 10));
  const __m128i continuation = below(v, 0x80, 0x40);
  const __m128i pair_lead = _mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xFE)));
  const __m128i lead = _mm_or_si128(_mm_cmpeq_epi8(pair_lead, _mm_set1_epi8(static_cast<char>(0xC4))),
                                    _mm_cmpeq_epi8(pair_lead, _mm_set1_epi8(static_cast<char>(0xD0))));
  const auto continuation_bits = static_cast<unsigned>(_mm_movemask_epi8(continuation));
  const auto byte = [](unsigned value) { return _mm_set1_epi8(static_cast<char>(value)); };
  const auto latin_lead = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(pair_lead, byte(0xC4))));
  const __m128i odd = _mm_or_si128(v, byte(0x01));
  const auto suspect = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, byte(0x80)), _mm_cmpeq_epi8(v, byte(0x89))),
                   _mm_or_si128(_mm_cmpeq_epi8(odd, byte(0xB3)), _mm_cmpeq_epi8(v, byte(0xBF))))));
  if constexpr (Input == Utf8Input::valid) {
    const __m128i pass = _mm_or_si128(alnum, _mm_or_si128(continuation, lead));
    return {static_cast<unsigned>(_mm_movemask_epi8(pass)), continuation_bits, latin_lead, suspect};
  } else {
    // A lead passes with the continuation byte right after it, and that byte
    // with it; a lead in the last place waits for the next sixteen.
    const unsigned paired = static_cast<unsigned>(_mm_movemask_epi8(lead)) & (continuation_bits >> 1);
    return {static_cast<unsigned>(_mm_movemask_epi8(alnum)) | paired | (paired << 1), continuation_bits, latin_lead,
            suspect};
  }
}

// The set bits of a 16-bit mask, by two look-ups: without a popcount
// instruction (not in the x86-64 baseline) std::popcount is a library call
// or a dozen shifts and masks.
struct BitCounts {
  unsigned char of[256];
};

constexpr BitCounts bit_counts() noexcept {
  BitCounts table{};
  for (unsigned byte = 0; byte < 256; ++byte) table.of[byte] = static_cast<unsigned char>(std::popcount(byte));
  return table;
}

inline constexpr BitCounts BIT_COUNTS = bit_counts();

constexpr unsigned count_bits16(unsigned x) noexcept {
  return BIT_COUNTS.of[x & 0xFFU] + BIT_COUNTS.of[(x >> 8) & 0xFFU];
}
#endif

}  // namespace detail

template <Utf8Input Input>
typename TokenScanner<Input>::Step TokenScanner<Input>::step_at(std::size_t at) const noexcept {
  const unsigned char* const here = bytes_ + at;
  const unsigned char lead = here[0];
  // Characters of one or two bytes (ASCII, Latin with diacritics, Cyrillic)
  // are nearly all of Serbian text, and they mix within words, so they
  // share one path: one bit of one table, found from the bytes without
  // decoding.
  const unsigned char second = at + 1 < size_ ? here[1] : 0;
  const bool ascii = lead < 0x80;
  bool short_form = ascii || lead < 0xE0;
  if constexpr (Input == Utf8Input::lenient) {
    short_form = ascii || (lead >= 0xC2 && lead < 0xE0 && (second & 0xC0U) == 0x80U);
  }
  if (short_form) {
    const unsigned word = ascii ? lead >> 6 : lead;
    const unsigned bit = ascii ? lead : second;
    return {ascii ? 1U : 2U, is_low_separator(word, bit)};
  }
  std::size_t length;
  if constexpr (Input == Utf8Input::lenient) {
    length = well_formed_utf8_length(here, size_ - at);
    if (length == 0) return {1, true};
  } else {
    length = utf8::decode_length(lead);
  }
  std::size_t after = 0;
  return {length, is_separator(utf8::decode(here, after))};
}

template <Utf8Input Input>
bool TokenScanner<Input>::next(Token& token) noexcept {
  // Locals, not members, in the loops: the compiler must assume that a store
  // to a member may change the bytes it reads, and the reverse.
  std::size_t at = at_;
  std::size_t chars = chars_;
  for (;; ++chars) {
    if (at >= size_) {
      at_ = at;
      chars_ = chars;
      return false;
    }
    // Mostly a space, or punctuation and a space, then a letter of one or
    // two bytes.
    const unsigned char byte = bytes_[at];
    if (byte < 0x80) {
      if (!is_ascii_separator(byte)) break;
      ++at;
      continue;
    }
    if (byte >= 0xC0 && detail::INNER_BYTES<Utf8Input::valid>.inner[byte] &&
        (Input == Utf8Input::valid || (at + 1 < size_ && utf8::is_continuation(bytes_[at + 1])))) {
      break;
    }
    const Step step = step_at(at);
    if (!step.separator) break;
    at += step.length;
  }
  const std::size_t begin = at;
  const std::size_t char_begin = chars;
  // Without SSE2 the scan cannot tell, and these stay unread.
  [[maybe_unused]] bool plain = true;
  [[maybe_unused]] unsigned latin_lead = 0;
  [[maybe_unused]] unsigned suspect = 0;
  // The separator that ends the token is left for the next call to skip.
  for (;;) {
#if defined(__SSE2__)
    if (size_ - at >= detail::RUN_WIDTH) {
      const detail::RunMasks masks = detail::run_masks<Input>(bytes_ + at);
      const auto run = static_cast<unsigned>(std::countr_one(masks.pass));
      const unsigned passed = (1U << run) - 1;
      chars += run - detail::count_bits16(masks.continuation & passed);
      latin_lead |= masks.latin_lead & passed;
      suspect |= masks.suspect & passed;
      at += run;
      if (run == detail::RUN_WIDTH) continue;
    } else
#endif
    {
      const bool* const inner = detail::INNER_BYTES<Input>.inner;
      const std::size_t from = at;
      while (at < size_ && inner[bytes_[at]]) chars += !utf8::is_continuation(bytes_[at++]);
      plain = plain && at == from;
      if (at >= size_) break;
    }
    // Mostly the space or punctuation that ends the token.
    if (bytes_[at] < 0x80 && is_ascii_separator(bytes_[at])) break;
    const Step step = step_at(at);
    if (step.separator) break;
    at += step.length;
    ++chars;
    plain = false;
  }
#if defined(__SSE2__)
  plain_ = plain && (latin_lead == 0 || suspect == 0);
#else
  plain_ = false;
#endif
  at_ = at;
  chars_ = chars;
  token.text = std::string_view(reinterpret_cast<const char*>(bytes_) + begin, at - begin);
  token.bytes = {begin, at};
  token.chars = {char_begin, chars};
  return true;
}

template <Utf8Input Input, class Sink>
bool for_each_token(std::string_view text, Sink&& sink) {
  TokenScanner<Input> scanner(text);
  for (Token token; scanner.next(token);) {
    if (!detail::deliver(sink, token)) return false;
  }
  return true;
}

}  // namespace ardovel::analysis
