// The test programs key lemmas with the lexicon this build made.
#include "ardovel/analyzer.hpp"

namespace {
[[maybe_unused]] const bool lexicon_named = ardovel::set_lexicon_file(ARDOVEL_LEXICON_FILE);
}  // namespace
