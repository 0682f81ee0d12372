// Every worked example of the table, form by form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ardovel/stem.hpp"
#include "reference/reference_stem.hpp"
#include "stem_examples.hpp"

namespace ardovel {
namespace {

TEST(StemExamples, EveryFormOfEveryWorkedExample) {
  const std::vector<examples::Trace> traces = examples::stem_examples();
  ASSERT_FALSE(traces.empty());
  for (const examples::Trace& expected : traces) {
    const std::string& word = expected.front();
    EXPECT_EQ(reference::reference_trace(word), expected) << word;
    EXPECT_EQ(stem_word(word), expected.back()) << word;
  }
}

}  // namespace
}  // namespace ardovel
