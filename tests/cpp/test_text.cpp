#include <gtest/gtest.h>

#include <string>

#include "ardovel/text.hpp"
#include "unicode/unicode.hpp"

namespace ardovel {
namespace {

TEST(Text, GrowsFromInlineToHeapKeepingBytes) {
  Text text;
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    const char byte = static_cast<char>('a' + i % 26);
    text.push_back(byte);
    expected.push_back(byte);
    ASSERT_EQ(text.view(), expected);
  }
  EXPECT_GE(text.capacity(), 1000U);
}

TEST(Text, CopyAndMoveKeepContentsForInlineAndHeapTexts) {
  for (const std::size_t length : {0UL, 5UL, Text::inline_capacity, Text::inline_capacity + 1, 4000UL}) {
    const std::string bytes(length, 'x');
    Text original(bytes);
    Text copy(original);
    EXPECT_EQ(copy.view(), bytes);
    Text moved(std::move(copy));
    EXPECT_EQ(moved.view(), bytes);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved-from state is specified
    Text assigned("other");
    assigned = std::move(moved);
    EXPECT_EQ(assigned.view(), bytes);
    assigned = original;
    EXPECT_EQ(assigned.view(), bytes);
  }
}

TEST(Text, TruncateNeverGrows) {
  Text text("abcdef");
  text.truncate(10);
  EXPECT_EQ(text.view(), "abcdef");
  text.truncate(2);
  EXPECT_EQ(text.view(), "ab");
}

struct CountCase {
  const char* text;
  std::size_t chars;
};

TEST(CharCount, CountsScalarValuesOnBothSidesOfTheWordAtATimeThreshold) {
  const CountCase cases[] = {
      {"", 0},
      {"miš", 3},
      {"i\xCC\x87", 2},
      {"ab\xF0\x9F\x98\x80", 3},
      {"0123456789012345678901234567890", 31},
      {"01234567890123456789012345678901", 32},
      {"ššššššššššššššššš", 17},  // 34 bytes
      {"чччччччччччччччччччччччччччччччччччччччx", 40},
  };
  for (const auto& c : cases) EXPECT_EQ(char_count(c.text), c.chars) << c.text;
}

struct EndCase {
  const char* text;
  Character c;
  bool ends;
};

TEST(EndOfText, EndsWithCharComparesTheWholeEncoding) {
  const EndCase cases[] = {
      {"miš", U'š', true}, {"miš", U's', false}, {"", U'a', false},   {"a", U'a', true},
      {"\xC5", U'š', false}, {"x😀", U'😀', true}, {"ć", U'č', false},
  };
  for (const auto& c : cases) EXPECT_EQ(ends_with_char(c.text, c.c), c.ends) << c.text;
}

TEST(EndOfText, PopAndPushWorkOnWholeCharacters) {
  Text text("miš");
  pop_char(text);
  EXPECT_EQ(text.view(), "mi");
  push_char(text, U'k');
  EXPECT_EQ(text.view(), "mik");
  push_char(text, U'😀');
  push_char(text, U'ж');
  EXPECT_EQ(text.view(), "mik😀ж");
  pop_char(text);
  pop_char(text);
  EXPECT_EQ(text.view(), "mik");
  Text empty;
  pop_char(empty);
  EXPECT_TRUE(empty.empty());
}

}  // namespace
}  // namespace ardovel
