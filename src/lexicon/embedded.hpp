// The lexicon's bytes as the build embedded them: empty when the build had
// no dictionary (the `lemmas` option).
#pragma once

#include <cstddef>
#include <span>

namespace ardovel::lexicon_data {

[[nodiscard]] std::span<const unsigned char> embedded() noexcept;

}  // namespace ardovel::lexicon_data
