// The build without hunspell-sr (option `lemmas`): no lexicon, and
// lexicon_available() says so.
#include "lexicon/embedded.hpp"

namespace ardovel::lexicon_data {
std::span<const unsigned char> embedded() noexcept { return {}; }
}  // namespace ardovel::lexicon_data
