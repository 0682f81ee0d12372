// Orthographic normalisation: brings any input to lower-case Latin, ekavian
// spelling, with nothing but letters, digits and white space.
//
// Each stage reads the current form and overwrites `out` with the next one;
// `out` never aliases `form`.
#pragma once

#include <cstddef>
#include <string_view>

#include "unicode/text.hpp"

namespace ardovel {

void lowercase(std::string_view form, Text& out);
void transliterate_cyrillic(std::string_view form, Text& out);
void reduce_ije(std::string_view form, Text& out);
void filter_characters(std::string_view form, Text& out);

// All four stages at once, as the pipeline composes them: writes the form
// that filter_characters(reduce_ije(transliterate_cyrillic(lowercase(word))))
// gives to `out`, which must have room for normalised_capacity(word.size())
// bytes, and returns its size.
[[nodiscard]] std::size_t normalise_into(std::string_view word, char* out) noexcept;

// The same pass without the "ije" reduction: lower case, Latin, letters and
// digits (and white space) only, but "ije" and "je" as written. The lemma
// lookup needs the ijekavian spelling to tell "rijeka" from "reka" and to
// try its readings itself. Same capacity as normalise_into.
[[nodiscard]] std::size_t normalise_keeping_ije_into(std::string_view word, char* out) noexcept;

// A character grows by at most half again: two-byte characters become at
// most three bytes («џ» gives «dž»), longer ones never grow; a few spare
// bytes let the pass write whole words.
[[nodiscard]] constexpr std::size_t normalised_capacity(std::size_t word_size) noexcept {
  return word_size + word_size / 2 + 8;
}

}  // namespace ardovel
