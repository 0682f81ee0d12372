// Orthographic normalisation: brings any input to lower-case Latin, ekavian
// spelling, with nothing but letters, digits and white space.
//
// Each stage reads the current form and overwrites `out` with the next one;
// `out` never aliases `form`.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "stemmer/interruption.hpp"
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

// The same, in pieces of about interruptible_piece bytes, asking
// `interruption` before each; nothing when it asked to stop.
[[nodiscard]] std::optional<std::size_t> normalise_into(std::string_view word, char* out,
                                                        const Interruption& interruption);

// A character grows by at most half again: two-byte characters become at
// most three bytes («џ» gives «dž»), longer ones never grow; a few spare
// bytes let the pass write whole words.
[[nodiscard]] constexpr std::size_t normalised_capacity(std::size_t word_size) noexcept {
  return word_size + word_size / 2 + 8;
}

}  // namespace ardovel
