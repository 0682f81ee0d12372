#include <gtest/gtest.h>

#include <string>

#include "stemmer/stem.hpp"

namespace ardovel {
namespace {

TEST(Pipeline, PointerAndLengthFormTakesEmbeddedNulsAsCharacters) {
  const char bytes[] = {'a', '\0', 'b'};
  EXPECT_EQ(stem_word(bytes, 3).size(), stem_word(std::string_view(bytes, 3)).size());
}

TEST(Pipeline, LongInputsDoNotDependOnTheInlineBuffer) {
  const std::string word(100000, 'x');
  EXPECT_EQ(stem_word(word), word);
}

}  // namespace
}  // namespace ardovel
