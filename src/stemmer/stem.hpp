// The stemming pipeline's production path, behind ardovel/stem.hpp.
#pragma once

#include <optional>
#include <string_view>

#include "ardovel/stem.hpp"
#include "ardovel/text.hpp"

namespace ardovel {

// The answer is the last form the stages make, so no other form is kept:
// the four normalisation stages run as one pass into `scratch`, and the
// affix and consonant stages only narrow or edit that text in place.
// Returns the stem as a view into `scratch`, into `word` (the "IT" guard)
// or into constant data; it stays valid while `word` and `scratch` live and
// `scratch` is not touched. `scratch` needs no heap block for words of up
// to 69 bytes.
[[nodiscard]] std::string_view stem_word_into(std::string_view word, Text& scratch);

// The same, for a host that may want to stop a call on a word of megabytes:
// nothing when `interruption` asked to stop.
[[nodiscard]] std::optional<std::string_view> stem_word_into(std::string_view word, Text& scratch,
                                                             const Interruption& interruption);

}  // namespace ardovel
