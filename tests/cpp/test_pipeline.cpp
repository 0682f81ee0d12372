#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stemmer/stem.hpp"

namespace ardovel {
namespace {

std::vector<std::string> trace_of(std::string_view word) {
  StemTrace trace;
  (void)stem_word(word, trace);
  return trace.forms;
}

TEST(Pipeline, GuardKeepsExactlyTheRawBytesIT) {
  EXPECT_EQ(stem_word("IT"), "IT");
  EXPECT_EQ(trace_of("IT"), std::vector<std::string>{"IT"});
  // Only the exact two bytes stop the pipeline; these go on to lowercasing.
  EXPECT_EQ(stem_word("It"), "it");
  EXPECT_EQ(trace_of("It"), (std::vector<std::string>{"It", "it"}));
  EXPECT_EQ(trace_of("IT "), (std::vector<std::string>{"IT ", "it "}));
  EXPECT_EQ(trace_of(std::string_view("IT\0", 3)),
            (std::vector<std::string>{std::string("IT\0", 3), std::string("it\0", 3), "it"}));
}

TEST(Pipeline, TraceStartsWithACopyOfTheInputAndAnswerIsItsLastEntry) {
  const char* words[] = {"", "grad", "dobar dan", "knjiga\n", "Knjigama", "ДЕЦА", "najbolji", "dijete"};
  for (const char* word : words) {
    StemTrace trace;
    trace.forms.emplace_back("stale");
    const std::string answer = stem_word(word, trace);
    ASSERT_FALSE(trace.forms.empty());
    EXPECT_EQ(trace.forms.front(), word);
    EXPECT_EQ(answer, trace.forms.back()) << word;
    EXPECT_EQ(stem_word(word), answer) << word;
    // No stage records a form equal to the one before it, except the
    // affix stages, which record whenever they apply; those always shorten.
    for (std::size_t i = 1; i < trace.forms.size(); ++i) EXPECT_NE(trace.forms[i], trace.forms[i - 1]) << word;
  }
}

TEST(Pipeline, UnchangedWordsAndEmptyTextComeBackAsTheyWere) {
  EXPECT_EQ(stem_word(""), "");
  EXPECT_EQ(trace_of(""), std::vector<std::string>{""});
  EXPECT_EQ(stem_word("grad"), "grad");
  EXPECT_EQ(trace_of("grad"), std::vector<std::string>{"grad"});
}

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
