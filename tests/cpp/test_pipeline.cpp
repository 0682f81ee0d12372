#include <gtest/gtest.h>

#include <string>

#include "ardovel/stem.hpp"

namespace ardovel {
namespace {

TEST(Pipeline, LongInputsDoNotDependOnTheInlineBuffer) {
  const std::string word(100000, 'x');
  EXPECT_EQ(stem_word(word), word);
}

TEST(Pipeline, AStemmerKeepsNoAnswerOfAnEarlierWord) {
  Stemmer stemmer;
  const std::string long_word(500, 'a');
  EXPECT_EQ(stemmer.stem(long_word + "ama"), long_word);
  EXPECT_EQ(stemmer.stem("Knjigama"), "knjig");
}

}  // namespace
}  // namespace ardovel
