// The lexicon's bytes: the file the build made from hunspell-sr
// (ardovel_lexicon.bin), mapped read-only where a host said it lies, so that
// every process using it shares its pages and none builds anything at run
// time. Empty when no host said where it lies, or the file cannot be read.
#pragma once

#include <span>

namespace ardovel::lexicon_data {

// The bytes of the file set_lexicon_file named, mapped on the first call.
[[nodiscard]] std::span<const unsigned char> bytes() noexcept;

}  // namespace ardovel::lexicon_data
