// A plain model of the stemming pipeline, for checking the production core.
//
// Every stage is written the straightforward way: decode to code points,
// build a fresh string, compare whole strings. Nothing here is tuned; if the
// fast core and this model ever disagree, the model is the one to believe
// (and the one that is easy to read against the rules).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ardovel::reference {

// The stem of a valid UTF-8 word.
[[nodiscard]] std::string reference_stem(std::string_view word);

// Every form the word passes through: the input, then each changed form
// (and each applied prefix, exception or suffix step). The stem is the last.
[[nodiscard]] std::vector<std::string> reference_trace(std::string_view word);

// The four normalisation stages, each on its own, in the pipeline's order:
// lowercase (Unicode 16.0.0, with Final_Sigma), transliterate Serbian
// Cyrillic to Latin, reduce "ije" (and "IJE") to "e", and keep only
// letters, digits and white space.
[[nodiscard]] std::string lowercase(std::string_view form);
[[nodiscard]] std::string transliterate(std::string_view form);
[[nodiscard]] std::string reduce_ije(std::string_view form);
[[nodiscard]] std::string filter(std::string_view form);

// UTF-8 coding for the model, the test programs and the fuzz targets alike,
// written apart from the core's own so that no test checks the core's
// decoder against itself.
//
// Appends the encoding of one scalar value.
void append_utf8(std::string& out, char32_t c);

// The scalar values of a valid UTF-8 text.
[[nodiscard]] std::u32string decode_utf8(std::string_view text);

}  // namespace ardovel::reference
