#include <gtest/gtest.h>

#include <string>

#include "unicode/unicode.hpp"

namespace ardovel {
namespace {

std::string lower(std::string_view text) {
  Text out("stale bytes from an earlier form");
  to_lowercase(text, out);
  return out.str();
}

struct LowerCase {
  std::string_view input;
  std::string_view expected;
};

void expect_lowercase(const LowerCase* begin, const LowerCase* end) {
  for (const auto* c = begin; c != end; ++c) EXPECT_EQ(lower(c->input), c->expected) << c->input;
}

TEST(ToLowercase, FinalSigmaLooksAtCasedNeighboursPastCaseIgnorables) {
  const LowerCase cases[] = {
      {"Σ", "σ"},         {"ΑΣ", "ας"},       {"ΣΑ", "σα"},         {"ΑΣΣ", "ασς"},   {"ΌΣΟΣ", "όσος"},
      {"Α.Σ", "α.ς"},     {"ΑΣ'", "ας'"},     {"ΑΣ.Α", "ασ.α"},     {"Α Σ", "α σ"},   {"ΑΣ Β", "ας β"},
      {"ΑΣ1", "ας1"},     {"1Σ", "1σ"},       {"ς σ", "ς σ"},       {"aΣ", "aς"},     {"ΑΣ:Α", "ασ:α"},
      // U+0345 is cased but case-ignorable, so it is passed over: nothing cased before.
      {"\u0345Σ", "\u0345σ"},
      // A combining mark after the sigma is passed over and the text ends.
      {"aΣ\u0308", "aς\u0308"},
      // U+02B0 is cased too, but passed over after the sigma as well.
      {"ΑΣ\u02B0", "ας\u02B0"},
      // U+0130 is cased and becomes two characters; the sigma still sees it.
      {"\u0130Σ", "i\u0307ς"},
  };
  expect_lowercase(std::begin(cases), std::end(cases));
}

TEST(ToLowercase, FinalSigmaReadsContextAcrossTheAsciiBlocks) {
  const LowerCase cases[] = {
      {"ABCDEFGHIJKLMNOPQΣ", "abcdefghijklmnopqς"},
      {"ABCDEFGHIJKLMNOPΣ", "abcdefghijklmnopς"},  // the sigma starts right after one whole block
      {"ABCDEFGHIJKLMNO.Σ", "abcdefghijklmno.ς"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF.Σ", "abcdefghijklmnopqrstuvwxyzabcdef.ς"},
      {"ABCDEFGHIJKLMNO Σ", "abcdefghijklmno σ"},
      {"0123456789012345'Σ", "0123456789012345'σ"},
      {"ΣABCDEFGHIJKLMNOPQRSTUVWXYZ", "σabcdefghijklmnopqrstuvwxyz"},
      {"AΣ......................", "aς......................"},
      {"AΣ.....................B", "aσ.....................b"},
  };
  expect_lowercase(std::begin(cases), std::end(cases));
}

TEST(ToLowercase, AsciiIsLoweredInAndAfterTheBlockPrefix) {
  std::string upper, expected;
  for (int i = 0; i < 128; ++i) {
    upper.push_back(static_cast<char>(i));
    expected.push_back(static_cast<char>(i >= 'A' && i <= 'Z' ? i + 0x20 : i));
  }
  // The same bytes once as a pure ASCII prefix and once after a non-ASCII
  // character, where they go one at a time.
  EXPECT_EQ(lower(upper), expected);
  EXPECT_EQ(lower("Ž" + upper + "Ž" + upper), "ž" + expected + "ž" + expected);
  EXPECT_EQ(lower(std::string_view("A\0B", 3)), std::string("a\0b", 3));
}

TEST(ToLowercase, MappingsThatChangeByteLengthOrHaveNoExpansion) {
  const LowerCase cases[] = {
      {"\u0130", "i\u0307"},         {"\u212A", "k"},           {"\u023A", "\u2C65"},
      {"\u2C62", "\u026B"},          {"\u1E9E", "\u00DF"},      {"\u00DF", "\u00DF"},
      {"\u01C4", "\u01C6"},          {"\u01C5", "\u01C6"},      {"\u01C7", "\u01C9"},
      {"\u01C8", "\u01C9"},          {"\u1C89", "\u1C8A"},      {"\uA7CB", "\u0264"},
      {"\uA7DC", "\u019B"},          {"\U00010D50", "\U00010D70"}, {"İstanbul", "i\u0307stanbul"},
      {"\u24B6", "\u24D0"},          {"ДЕЦА", "деца"},          {"ĐAK", "đak"},
  };
  expect_lowercase(std::begin(cases), std::end(cases));
}

TEST(ToLowercase, TextWithNothingToLowerComesBackUnchanged) {
  for (std::string_view text : {"", "već mala slova", "2024", "中文字", "ς", "σ", "\U0001F600", "ß\u0301"})
    EXPECT_EQ(lower(text), text);
}

TEST(ToLowercase, LongMixedTextGrowsPastTheReservedSize) {
  std::string input, expected;
  for (int i = 0; i < 200; ++i) {
    input += "İ\u023AX";
    expected += "i\u0307\u2C65x";
  }
  EXPECT_EQ(lower(input), expected);
}

struct ClassCase {
  Character c;
  bool alphabetic, numeric, whitespace;
};

TEST(CharacterClasses, MarksSymbolsAndNumbersFallInTheRightClass) {
  const ClassCase cases[] = {
      {0x0345, true, false, false},  {0x0363, true, false, false},  {0x093E, true, false, false},
      {0x24B6, true, false, false},  {0x2160, true, true, false},   {0x00AA, true, false, false},
      {0x00BA, true, false, false},  {0x4E00, true, false, false},  {0x00B2, false, true, false},
      {0x00BD, false, true, false},  {0x0660, false, true, false},  {0x3007, true, true, false},
      {0x0300, false, false, false}, {0x0301, false, false, false}, {0x0307, false, false, false},
      {0x0308, false, false, false}, {0x030C, false, false, false}, {0x0027, false, false, false},
      {0x002D, false, false, false}, {0x00AD, false, false, false}, {0x200D, false, false, false},
      {'z', true, false, false},     {'7', false, true, false},     {0x10FFFF, false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_alphabetic(c.c), c.alphabetic) << std::hex << static_cast<unsigned>(c.c);
    EXPECT_EQ(is_numeric(c.c), c.numeric) << std::hex << static_cast<unsigned>(c.c);
    EXPECT_EQ(is_alphanumeric(c.c), c.alphabetic || c.numeric) << std::hex << static_cast<unsigned>(c.c);
    EXPECT_EQ(is_whitespace(c.c), c.whitespace) << std::hex << static_cast<unsigned>(c.c);
  }
}

TEST(CharacterClasses, WhiteSpaceIsExactlyTheTwentyFiveListed) {
  const Character listed[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680,
                              0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                              0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (const Character c : listed) EXPECT_TRUE(is_whitespace(c)) << std::hex << static_cast<unsigned>(c);
  // Neighbours in the flag table's other page, and look-alikes that are not white space.
  for (const Character c : {0x1CU, 0x1DU, 0x1EU, 0x1FU, 0x180EU, 0x200BU, 0x2060U, 0xFEFFU, 0x2085U, 0x20A0U, 0x0089U,
                            0x0028U, 0x1681U, 0x3001U, 0x2020U})
    EXPECT_FALSE(is_whitespace(c)) << std::hex << static_cast<unsigned>(c);
}

TEST(CharacterClasses, CasedAndCaseIgnorableWithinAscii) {
  for (Character c = 0; c < 0x80; ++c) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    EXPECT_EQ(is_cased(c), letter) << static_cast<unsigned>(c);
    EXPECT_EQ(is_case_ignorable(c), c == '\'' || c == '.' || c == ':' || c == '^' || c == '`') << static_cast<unsigned>(c);
  }
  EXPECT_TRUE(is_cased(0x0345) && is_case_ignorable(0x0345));
  EXPECT_TRUE(is_cased(0x02B0) && is_case_ignorable(0x02B8));
}

}  // namespace
}  // namespace ardovel
