// Every worked example of the table, form by form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stem_examples.hpp"
#include "stemmer/stem.hpp"

namespace ardovel {
namespace {

TEST(StemExamples, EveryFormOfEveryWorkedExample) {
  const std::vector<examples::Trace> traces = examples::stem_examples();
  ASSERT_FALSE(traces.empty());
  for (const examples::Trace& expected : traces) {
    const std::string& word = expected.front();
    StemTrace trace;
    trace.forms.emplace_back("stale");  // a trace starts afresh
    EXPECT_EQ(stem_word(word, trace), expected.back()) << word;
    EXPECT_EQ(trace.forms, expected) << word;
    EXPECT_EQ(stem_word(word), expected.back()) << word;
  }
}

}  // namespace
}  // namespace ardovel
