#include "stemmer/normalise.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <string_view>

#include "ardovel/utf8.hpp"
#include "unicode/properties.hpp"
#include "unicode/unicode.hpp"

namespace ardovel {
namespace {

struct Letter {
  Character cyrillic;
  std::string_view latin;
};

// Serbian Cyrillic, capitals then small letters. Capital digraphs capitalise
// only their first letter, as Serbian Latin writes them.
constexpr Letter SERBIAN_LETTERS[] = {
    {0x0410, "A"}, {0x0411, "B"}, {0x0412, "V"}, {0x0413, "G"}, {0x0414, "D"}, {0x0402, "Đ"}, {0x0415, "E"},
    {0x0416, "Ž"}, {0x0417, "Z"}, {0x0418, "I"}, {0x0408, "J"}, {0x041A, "K"}, {0x041B, "L"}, {0x0409, "Lj"},
    {0x041C, "M"}, {0x041D, "N"}, {0x040A, "Nj"}, {0x041E, "O"}, {0x041F, "P"}, {0x0420, "R"}, {0x0421, "S"},
    {0x0422, "T"}, {0x040B, "Ć"}, {0x0423, "U"}, {0x0424, "F"}, {0x0425, "H"}, {0x0426, "C"}, {0x0427, "Č"},
    {0x040F, "Dž"}, {0x0428, "Š"},
    {0x0430, "a"}, {0x0431, "b"}, {0x0432, "v"}, {0x0433, "g"}, {0x0434, "d"}, {0x0452, "đ"}, {0x0435, "e"},
    {0x0436, "ž"}, {0x0437, "z"}, {0x0438, "i"}, {0x0458, "j"}, {0x043A, "k"}, {0x043B, "l"}, {0x0459, "lj"},
    {0x043C, "m"}, {0x043D, "n"}, {0x045A, "nj"}, {0x043E, "o"}, {0x043F, "p"}, {0x0440, "r"}, {0x0441, "s"},
    {0x0442, "t"}, {0x045B, "ć"}, {0x0443, "u"}, {0x0444, "f"}, {0x0445, "h"}, {0x0446, "c"}, {0x0447, "č"},
    {0x045F, "dž"}, {0x0448, "š"},
};

// Every Serbian letter lies in U+0400..U+045F; an empty entry means the
// character is kept as it is.
constexpr Character CYRILLIC_FIRST = 0x0400;
constexpr std::size_t CYRILLIC_SPAN = 0x60;

constexpr auto CYRILLIC_TO_LATIN = [] {
  std::array<std::string_view, CYRILLIC_SPAN> table{};
  for (const Letter& letter : SERBIAN_LETTERS) table[letter.cyrillic - CYRILLIC_FIRST] = letter.latin;
  return table;
}();

// What the filter keeps: letters, digits and white space. Usable in constant
// expressions, so the pass's tables below are built from the same test.
constexpr bool is_kept(Character c) noexcept {
  return unicode_properties::alphabetic(c) || unicode_properties::numeric(c) || unicode_properties::whitespace(c);
}

// ---- All four stages in one pass ---------------------------------------------
//
// Callers see only the final form, so the production path runs lowercasing,
// transliteration, the "ije" reduction and the filter together:
//
// 1. One left-to-right pass lowercases and transliterates each character (a
//    capital sigma reads its neighbours in the input, which is at hand) and
//    writes it if the filter keeps it. A character the filter drops leaves a
//    zero byte behind as a marker (a zero byte itself is always dropped, so
//    a marker is never text).
// 2. The "ije" reduction ran before the filter, so a dropped character still
//    separates an "i" from a "je" («i-je» gives «ije»). A second pass over
//    the written bytes, markers included, reduces "ije" left to right and
//    removes the markers. It runs only when the first pass wrote a marker
//    or an 'i' followed by a 'j' (one in ten dictionary words).
//
// The reduction of "IJE" cannot apply in the pipeline: no character's
// lowercase, transliterated, contains a capital ASCII letter (checked below
// for every two-byte character; longer ones lowercase to non-ASCII letters,
// apart from the Kelvin sign's «k»).

constexpr char dropped_marker = '\0';

// The size byte of a two-byte outcome (below) holds the byte count and two
// flags: a marker was written, or the one letter 'j' (which makes "ije" with
// an 'i' before it and an 'e' after).
constexpr std::uint8_t size_bits = 0x03;
constexpr std::uint8_t marker_written = 0x04;
constexpr std::uint8_t letter_j = 0x08;
constexpr std::uint8_t general_path = 0xFF;

// What the stages make of one ASCII byte: its lowercase, or the marker.
struct AsciiOutcome {
  char byte;
  std::uint8_t flags;  // marker_written or letter_j
};

constexpr auto ASCII_NORMALISED = [] {
  std::array<AsciiOutcome, 128> table{};
  for (unsigned b = 0; b < 128; ++b) {
    const char lower = ascii::lower(static_cast<unsigned char>(b));
    const char byte = is_kept(static_cast<unsigned char>(lower)) ? lower : dropped_marker;
    table[b] = {byte, byte == dropped_marker ? marker_written : byte == 'j' ? letter_j : std::uint8_t{0}};
  }
  return table;
}();

// What the stages make of one two-byte character (U+0080..U+07FF): one to
// three bytes (the marker when dropped). Stored in four bytes, so that it is
// copied with one store. The capital sigma (context) and U+0130 (two
// characters) take the general path.
struct TwoByteOutcome {
  char bytes[3] = {};
  std::uint8_t size = 0;  // the byte count, with marker_written or letter_j
};

constexpr auto TWO_BYTE_NORMALISED = [] {
  std::array<TwoByteOutcome, 0x800 - 0x80> table{};
  for (Character c = 0x80; c < 0x800; ++c) {
    TwoByteOutcome& outcome = table[c - 0x80];
    const auto* mapping = unicode_properties::find_lowercase(c);
    if (c == 0x03A3 || (mapping != nullptr && mapping->lower[1] != 0)) {
      outcome.size = general_path;
      continue;
    }
    const Character lower = mapping != nullptr ? mapping->lower[0] : c;
    const bool serbian = lower >= CYRILLIC_FIRST && lower < CYRILLIC_FIRST + CYRILLIC_SPAN &&
                         !CYRILLIC_TO_LATIN[lower - CYRILLIC_FIRST].empty();
    if (serbian) {
      for (const char byte : CYRILLIC_TO_LATIN[lower - CYRILLIC_FIRST]) outcome.bytes[outcome.size++] = byte;
    } else if (is_kept(lower)) {
      char encoded[4] = {};
      outcome.size = static_cast<std::uint8_t>(utf8::encode(lower, encoded));
      for (std::size_t k = 0; k < outcome.size; ++k) outcome.bytes[k] = encoded[k];
    } else {
      outcome.bytes[0] = dropped_marker;
      outcome.size = 1;
    }
    if (outcome.bytes[0] == dropped_marker) outcome.size |= marker_written;
    if (outcome.size == 1 && outcome.bytes[0] == 'j') outcome.size |= letter_j;
  }
  return table;
}();

constexpr bool two_byte_outcomes_fit() noexcept {
  for (const TwoByteOutcome& outcome : TWO_BYTE_NORMALISED) {
    if (outcome.size == general_path) continue;
    const std::size_t size = outcome.size & size_bits;
    if (size == 0) return false;
    for (std::size_t k = 0; k < size; ++k)
      if ((outcome.bytes[k] >= 'A' && outcome.bytes[k] <= 'Z') || (k > 0 && outcome.bytes[k] == dropped_marker))
        return false;
  }
  return true;
}
static_assert(two_byte_outcomes_fit(), "two-byte characters give one to three bytes, never capitals");
static_assert(sizeof(TwoByteOutcome) == 4);

// The same outcomes as 32-bit words, so that one is loaded, tested and
// stored from a register (a copy of the struct went through the stack).
constexpr auto TWO_BYTE_WORDS = [] {
  std::array<std::uint32_t, TWO_BYTE_NORMALISED.size()> words{};
  for (std::size_t k = 0; k < words.size(); ++k) words[k] = std::bit_cast<std::uint32_t>(TWO_BYTE_NORMALISED[k]);
  return words;
}();

constexpr bool little_endian = std::endian::native == std::endian::little;

// The size byte (the last in memory) of an outcome word.
constexpr std::uint8_t size_of_outcome(std::uint32_t word) noexcept {
  return static_cast<std::uint8_t>(little_endian ? word >> 24 : word);
}

// Valid UTF-8 leads C2..DF, then 80..BF: this is the code point less 0x80.
constexpr std::uint32_t two_byte_index(const unsigned char* at) noexcept {
  return (std::uint32_t{at[0]} << 6U) + at[1] - 0x3100U;
}

using ascii::bytes_in_range;
using ascii::high_bits;

// A general-path character: lowercase (one or two characters), then
// transliterate and filter each.
// Takes `at` by value and returns the new position, so that the caller's
// position never has its address taken (and stays in a register).
struct Advance {
  std::size_t at;
  char* out;
};

Advance normalise_character(std::string_view word, std::size_t at, char* out) noexcept {
  Character lower[2];
  const unsigned count = lowercase_char_at(word, at, lower);
  for (unsigned k = 0; k < count; ++k) {
    const Character c = lower[k];
    const std::string_view latin =
        c >= CYRILLIC_FIRST && c < CYRILLIC_FIRST + CYRILLIC_SPAN ? CYRILLIC_TO_LATIN[c - CYRILLIC_FIRST] : "";
    if (!latin.empty()) {
      std::memcpy(out, latin.data(), latin.size());
      out += latin.size();
    } else if (is_kept(c)) {
      char encoded[4];
      const std::size_t size = utf8::encode(c, encoded);
      std::memcpy(out, encoded, size);
      out += size;
    } else {
      *out++ = dropped_marker;
    }
  }
  return {at, out};
}

// The second pass: "ije" becomes "e", left to right, with markers standing
// between letters; then the markers go. Works in place, from `start`: the
// bytes before it hold no marker and no "ij", so it changes none of them,
// and the bytes from it on read the same from a fresh start (the byte at
// `start` is no 'j' after an 'i', so what the stream had spelt before it
// no longer counts). It may be run over the text in pieces, in order.
class IjeReduction {
 public:
  explicit IjeReduction(std::size_t start) noexcept : write_(start) {}

  void run(char* text, std::size_t from, std::size_t to) noexcept {
    std::size_t write = write_;
    unsigned matched = matched_;  // how much of "ije" the stream has just spelt
    for (std::size_t read = from; read < to; ++read) {
      const char byte = text[read];
      if (byte == dropped_marker) {
        matched = 0;
      } else if (byte == 'e' && matched == 2) {
        text[write - 2] = 'e';  // "ij" + "e" becomes "e"
        --write;
        matched = 0;
      } else {
        matched = byte == 'i' ? 1 : (byte == 'j' && matched == 1) ? 2 : 0;
        text[write++] = byte;
      }
    }
    write_ = write;
    matched_ = matched;
  }
  [[nodiscard]] std::size_t size() const noexcept { return write_; }

 private:
  std::size_t write_;
  unsigned matched_ = 0;
};

// Drops the markers only, for the form that keeps "ije".
std::size_t drop_markers(char* text, std::size_t size, std::size_t start) noexcept {
  std::size_t write = start;
  for (std::size_t read = start; read < size; ++read)
    if (text[read] != dropped_marker) text[write++] = text[read];
  return write;
}

// The first pass over word[i, limit), where `limit` is the end of a
// character: lowercases, transliterates and filters into `out`, which
// continues the text written from `begin`. Returns the new end of the
// written text. `review_from` gets the first place the second pass must
// see (see normalise_into): with ReduceIje, also every 'j' after an 'i'.
// Always inlined, so the stemmer's own instance carries no test of the
// choice.
template <bool ReduceIje = true>
[[gnu::always_inline]] inline char* first_pass(std::string_view word, std::size_t i, std::size_t limit,
                                               char* const begin, char* out,
                                               std::size_t& review_from) noexcept {
  const auto* __restrict bytes = reinterpret_cast<const unsigned char*>(word.data());
  const auto note = [&](const char* at) noexcept {
    review_from = std::min(review_from, static_cast<std::size_t>(at - begin));
  };
  const auto after_i = [&]() noexcept { return out != begin && out[-1] == 'i'; };
  while (i < limit) {
    // A run of ASCII, eight bytes at a time while they are letters and
    // digits (most of Latin text), then byte by byte.
    if (bytes[i] < 0x80) {
      while (i + 8 <= limit || (i < limit && limit >= 8 && static_cast<std::size_t>(out - begin) == i)) {
        // The last bytes of a text of eight or more, all of whose bytes so
        // far were written one for one, go as one block that overlaps bytes
        // already written (with the same values).
        const std::size_t back = i + 8 <= limit ? 0 : i + 8 - limit;
        std::uint64_t block;
        std::memcpy(&block, bytes + i - back, 8);
        if ((block & high_bits) != 0) break;
        block = ascii::lower_block(block);
        if ((bytes_in_range(block, 'a', 'z') | bytes_in_range(block, '0', '9')) != high_bits) break;
        // An 'i' then a 'j', inside the block or across its start (the
        // first byte is the lowest, being little-endian).
        const std::uint64_t js = ReduceIje ? bytes_in_range(block, 'j', 'j') : 0;
        if (js != 0) {
          if constexpr (std::endian::native != std::endian::little) break;
          if (((bytes_in_range(block, 'i', 'i') << 8) & js) != 0 ||
              ((js & 0x80) != 0 && out - back != begin && out[-1 - static_cast<std::ptrdiff_t>(back)] == 'i'))
            note(out - back);
        }
        std::memcpy(out - back, &block, 8);
        out += 8 - back;
        i += 8 - back;
      }
      for (; i < limit && bytes[i] < 0x80; ++i) {
        const AsciiOutcome outcome = ASCII_NORMALISED[bytes[i]];
        if (outcome.flags != 0 && (outcome.flags == marker_written || (ReduceIje && after_i()))) note(out);
        *out++ = outcome.byte;
      }
      continue;
    }
    // A run of two-byte characters (Cyrillic, Latin letters with marks).
    for (; i < limit && (bytes[i] & 0xE0U) == 0xC0U; i += 2) {
      const std::uint32_t outcome = TWO_BYTE_WORDS[two_byte_index(bytes + i)];
      const std::uint8_t size_byte = size_of_outcome(outcome);
      // One test for the rare cases: a flag, or the general path.
      if ((size_byte & ~size_bits) != 0) {
        if (size_byte == general_path) break;
        if ((size_byte & marker_written) != 0 || (ReduceIje && after_i())) note(out);
      }
      std::memcpy(out, &outcome, 4);  // the capacity leaves room for the spare byte
      out += size_byte & size_bits;
    }
    if (i < limit && bytes[i] >= 0x80) {
      // Anything else, one character (rare): let the second pass look.
      note(out);
      const Advance advance = normalise_character(word, i, out);
      i = advance.at;
      out = advance.out;
    }
  }
  return out;
}

// No place yet for the second pass to look at: most words need none.
constexpr std::size_t nowhere = ~std::size_t{0};

// One byte early: the 'i' of an "ij" lies just before the noted 'j' (or
// just before the noted block, or the noted character's first letter).
constexpr std::size_t review_start(std::size_t review_from) noexcept {
  return review_from == 0 ? 0 : review_from - 1;
}

}  // namespace

std::size_t normalise_into(std::string_view word, char* out) noexcept {
  // The first place where something was written that the second pass must
  // see: a marker, or a 'j' after an 'i' (noted where the 'j' goes, or
  // where the block holding it starts), so that "ije" may need reducing.
  std::size_t review_from = nowhere;
  const std::size_t written = static_cast<std::size_t>(first_pass(word, 0, word.size(), out, out, review_from) - out);
  if (review_from == nowhere) return written;
  IjeReduction reduction(review_start(review_from));
  reduction.run(out, review_start(review_from), written);
  return reduction.size();
}

std::size_t normalise_keeping_ije_into(std::string_view word, char* out) noexcept {
  std::size_t review_from = nowhere;
  const std::size_t written =
      static_cast<std::size_t>(first_pass<false>(word, 0, word.size(), out, out, review_from) - out);
  return review_from == nowhere ? written : drop_markers(out, written, review_from);
}

std::optional<std::size_t> normalise_into(std::string_view word, char* out, const Interruption& interruption) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(word.data());
  std::size_t review_from = nowhere;
  char* end = out;
  for (std::size_t i = 0; i < word.size();) {
    if (interruption.requested()) return std::nullopt;
    std::size_t limit = std::min(word.size(), i + interruptible_piece);
    while (limit < word.size() && utf8::is_continuation(bytes[limit])) ++limit;
    end = first_pass(word, i, limit, out, end, review_from);
    i = limit;
  }
  const std::size_t written = static_cast<std::size_t>(end - out);
  if (review_from == nowhere) return written;
  IjeReduction reduction(review_start(review_from));
  for (std::size_t from = review_start(review_from); from < written; from += interruptible_piece) {
    if (interruption.requested()) return std::nullopt;
    reduction.run(out, from, std::min(written, from + interruptible_piece));
  }
  return reduction.size();
}

}  // namespace ardovel
