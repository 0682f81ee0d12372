// Orthographic normalisation: brings any input to lower-case Latin, ekavian
// spelling, with nothing but letters, digits and white space.
//
// Each stage reads the current form and overwrites `out` with the next one;
// `out` never aliases `form`.
#pragma once

#include <string_view>

#include "unicode/text.hpp"

namespace ardovel {

void lowercase(std::string_view form, Text& out);
void transliterate_cyrillic(std::string_view form, Text& out);
void reduce_ije(std::string_view form, Text& out);
void filter_characters(std::string_view form, Text& out);

}  // namespace ardovel
