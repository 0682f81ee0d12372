// The key collector: the distinct keys of a text and each token's number,
// and its limit.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "ardovel/keys.hpp"

namespace ardovel {
namespace {

TEST(KeyCollector, NumbersEachTokenByItsDistinctKeyInTextOrder) {
  KeyCollector collector({}, Offsets::keep, 64);
  ASSERT_TRUE(collector.add("Knjige, reke i KNJIGAMA; ", 0));
  ASSERT_TRUE(collector.add("реке.", 25));
  const TextKeys found = collector.finish();
  std::vector<std::string> keys;
  for (std::size_t token = 0; token < found.numbers.size(); ++token) keys.emplace_back(found.keys[found.numbers[token]]);
  EXPECT_EQ(keys, (std::vector<std::string>{"knjig", "rek", "knjig", "rek"}));
  EXPECT_EQ(found.keys.size(), 2U);
  EXPECT_EQ(found.uses[found.numbers[0]], 2U);
  EXPECT_EQ(found.chars[3], (Span{25, 29}));
}

// The limit stands for 4 GiB of keys; a small one shows it is kept.
TEST(KeyCollector, StopsWhenTheKeysPassTheLimit) {
  KeyCollector collector({}, Offsets::skip, 64, {}, 12);
  EXPECT_TRUE(collector.add("knjige reke ", 0));
  EXPECT_FALSE(collector.add("gradovi mora", 12));
  EXPECT_EQ(collector.stop(), KeyCollector::Stop::too_large);
}

}  // namespace
}  // namespace ardovel
