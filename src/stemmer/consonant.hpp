// Restores a stem-final velar that inflection softened (ruka/ruci).
#pragma once

#include <string_view>

#include "unicode/text.hpp"

namespace ardovel {

// Overwrites `work` with the form, its final consonant restored where a rule
// applies. `work` never aliases `form`.
void restore_final_consonant(std::string_view form, Text& work);

}  // namespace ardovel
