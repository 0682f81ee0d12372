// The plain NFKC and accent-drop model (reference_nfkc.hpp).
#include "reference/reference_nfkc.hpp"

#include <cstddef>
#include <iterator>
#include <utility>

#include "reference/reference_stem.hpp"
#include "unicode/accents.hpp"
#include "unicode/normalization.hpp"

namespace ardovel::reference {
namespace {

namespace tables = unicode_tables;
using normalization::class_rank;

constexpr char32_t S_BASE = 0xAC00, L_BASE = 0x1100, V_BASE = 0x1161, T_BASE = 0x11A7;
constexpr char32_t L_COUNT = 19, V_COUNT = 21, T_COUNT = 28, N_COUNT = V_COUNT * T_COUNT, S_COUNT = L_COUNT * N_COUNT;

std::u32string decompose(const std::u32string& text) {
  std::u32string out;
  for (const char32_t c : text) {
    if (c >= S_BASE && c < S_BASE + S_COUNT) {
      const char32_t s = c - S_BASE;
      out += L_BASE + s / N_COUNT;
      out += V_BASE + (s % N_COUNT) / T_COUNT;
      if (s % T_COUNT != 0) out += T_BASE + s % T_COUNT;
    } else if (const std::string_view mapped = normalization::decomposition(c); !mapped.empty()) {
      out += decode_utf8(mapped);
    } else {
      out += c;
    }
  }
  return out;
}

void reorder(std::u32string& text) {
  for (bool swapped = true; swapped;) {
    swapped = false;
    for (std::size_t i = 1; i < text.size(); ++i) {
      const unsigned before = class_rank(text[i - 1]);
      const unsigned after = class_rank(text[i]);
      if (after != 0 && before > after) {
        std::swap(text[i - 1], text[i]);
        swapped = true;
      }
    }
  }
}

// Every pair the tables list, searched from the start.
char32_t primary_composite(char32_t first, char32_t second) {
  if (first >= L_BASE && first < L_BASE + L_COUNT && second >= V_BASE && second < V_BASE + V_COUNT) {
    return S_BASE + ((first - L_BASE) * V_COUNT + (second - V_BASE)) * T_COUNT;
  }
  if (first >= S_BASE && first < S_BASE + S_COUNT && (first - S_BASE) % T_COUNT == 0 && second > T_BASE &&
      second < T_BASE + T_COUNT) {
    return first + (second - T_BASE);
  }
  for (std::size_t i = 0; i < std::size(tables::COMPOSITION_SECONDS); ++i) {
    if (tables::COMPOSITION_SECONDS[i] != second) continue;
    for (std::size_t k = tables::COMPOSITION_STARTS[i]; k < tables::COMPOSITION_STARTS[i + 1]; ++k) {
      if (tables::COMPOSITIONS[k].first == first) return tables::COMPOSITIONS[k].composite;
    }
  }
  return 0;
}

// Each character, from the second on, composes with the last starter
// before it if nothing between them is a starter or has its class or a
// higher one (it is then not blocked) and the two form a primary composite.
void compose(std::u32string& text) {
  for (std::size_t i = 1; i < text.size();) {
    std::size_t starter = i;
    while (starter > 0 && class_rank(text[starter - 1]) != 0) --starter;
    if (starter == 0) {
      ++i;
      continue;
    }
    --starter;  // text[starter] has class 0
    bool blocked = false;
    for (std::size_t between = starter + 1; between < i; ++between) {
      const unsigned rank = class_rank(text[between]);
      if (rank == 0 || rank >= class_rank(text[i])) blocked = true;
    }
    const char32_t composite = blocked ? 0 : primary_composite(text[starter], text[i]);
    if (composite != 0) {
      text[starter] = composite;
      text.erase(i, 1);
    } else {
      ++i;
    }
  }
}

std::string encode(const std::u32string& text) {
  std::string out;
  for (const char32_t c : text) append_utf8(out, c);
  return out;
}

}  // namespace

std::string reference_nfkc(std::string_view text) {
  std::u32string characters = decompose(decode_utf8(text));
  reorder(characters);
  compose(characters);
  return encode(characters);
}

std::string reference_drop_accents(std::string_view nfkc_text) {
  const std::u32string characters = decompose(decode_utf8(nfkc_text));
  std::u32string kept;
  bool on_base = false;  // the last starter is one of accents::BASES
  for (const char32_t c : characters) {
    if (class_rank(c) == 0) on_base = accents::is_base(c);
    if (!(on_base && class_rank(c) != 0 && accents::is_mark(c))) kept += c;
  }
  return reference_nfkc(encode(kept));
}

}  // namespace ardovel::reference
