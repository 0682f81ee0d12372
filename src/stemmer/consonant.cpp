#include "stemmer/consonant.hpp"

#include "unicode/unicode.hpp"

namespace ardovel {

void restore_final_consonant(std::string_view form, Text& work) { work.assign(form); }

}  // namespace ardovel
