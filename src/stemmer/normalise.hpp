// Orthographic normalisation: brings any input to lower-case Latin, ekavian
// spelling, with nothing but letters, digits and white space.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "ardovel/stem.hpp"
#include "ardovel/text.hpp"

namespace ardovel {

// Lowercasing, Cyrillic-to-Latin transliteration, the reduction of "ije" to
// "e" and the removal of every character that is neither a letter, a digit
// nor white space, in one pass: writes the form the four stages give, one
// after the other, to `out`, which must have room for
// normalised_capacity(word.size()) bytes, and returns its size.
[[nodiscard]] std::size_t normalise_into(std::string_view word, char* out) noexcept;

// The same, in pieces of about interruptible_piece bytes, asking
// `interruption` before each; nothing when it asked to stop.
[[nodiscard]] std::optional<std::size_t> normalise_into(std::string_view word, char* out,
                                                        const Interruption& interruption);

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
