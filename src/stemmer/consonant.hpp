// Restores a stem-final velar that inflection softened (ruka/ruci).
#pragma once

#include <cstddef>
#include <string_view>

#include "unicode/text.hpp"

namespace ardovel {

// Overwrites `work` with the form, its final consonant restored where a rule
// applies. `work` never aliases `form`.
void restore_final_consonant(std::string_view form, Text& work);

// The same rules applied to the form where it lies: a restored letter only
// ever shortens it. Returns the result, which is either a prefix of `form`
// or constant text («pek»).
[[nodiscard]] std::string_view restore_final_consonant_in_place(char* form, std::size_t size) noexcept;

}  // namespace ardovel
