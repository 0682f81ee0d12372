// Restores a stem-final velar that inflection softened (ruka/ruci).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace ardovel {

// Restores the final consonant where a rule applies, editing the form where
// it lies: a restored letter never lengthens it. Returns the result, which
// is either a prefix of `form` or constant text («pek»).
[[nodiscard]] inline std::string_view restore_final_consonant_in_place(char* form, std::size_t size) noexcept;

// Whether a form ending in this byte may be changed by the stage: only the
// last byte of a softened letter or of «peć» calls for a closer look, and
// most forms end otherwise, so one look-up lets them through (without a
// call).
extern const std::array<bool, 256> CONSONANT_LAST_BYTES;

// The rest of the stage, for forms whose last byte calls for it.
[[nodiscard]] std::string_view restore_softened_consonant(char* form, std::size_t size) noexcept;

inline std::string_view restore_final_consonant_in_place(char* form, std::size_t size) noexcept {
  if (size == 0 || !CONSONANT_LAST_BYTES[static_cast<unsigned char>(form[size - 1])]) {
    return {form, size};
  }
  return restore_softened_consonant(form, size);
}

}  // namespace ardovel
