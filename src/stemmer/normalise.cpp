#include "stemmer/normalise.hpp"

#include "unicode/unicode.hpp"

namespace ardovel {

void lowercase(std::string_view form, Text& out) { to_lowercase(form, out); }

void transliterate_cyrillic(std::string_view form, Text& out) { out.assign(form); }

void reduce_ije(std::string_view form, Text& out) { out.assign(form); }

void filter_characters(std::string_view form, Text& out) { out.assign(form); }

}  // namespace ardovel
