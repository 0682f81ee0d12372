// The compiled tables against the data exported straight from the Unicode
// package (tests/data/unicode_properties.txt), over every scalar value.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ardovel/utf8.hpp"
#include "fixture.hpp"
#include "unicode/tables.hpp"
#include "unicode/unicode.hpp"

namespace ardovel {
namespace {

using fixture::is_scalar;
using fixture::LAST_SCALAR;

using Membership = std::vector<bool>;

struct Fixture {
  std::string version;
  std::map<std::string, Membership> sets;
  std::map<Character, std::vector<Character>> lower;  // only the code points that change
};

using fixture::parse_hex;

Membership parse_ranges(std::istringstream& fields) {
  Membership members(LAST_SCALAR + 1);
  fixture::for_each_in_ranges(fields, [&](Character c) { members[c] = true; });
  return members;
}

Fixture load_fixture() {
  Fixture fixture;
  fixture::for_each_line(ARDOVEL_TEST_DATA "/unicode_properties.txt", [&](const std::string& name, std::istringstream& fields) {
    if (name == "version") {
      fields >> fixture.version;
    } else if (name == "lower") {
      std::string start;
      long count = 0, step = 0, delta = 0;
      fields >> start >> count >> step >> delta;
      for (long i = 0; i < count; ++i) {
        const auto c = static_cast<Character>(static_cast<long>(parse_hex(start)) + i * step);
        fixture.lower[c] = {static_cast<Character>(static_cast<long>(c) + delta)};
      }
    } else if (name == "lower_multi") {
      std::string code, part;
      fields >> code;
      auto& target = fixture.lower[parse_hex(code)];
      while (fields >> part) target.push_back(parse_hex(part));
    } else {
      fixture.sets[name] = parse_ranges(fields);
    }
  });
  return fixture;
}

const Fixture& fixture() {
  static const Fixture loaded = load_fixture();
  return loaded;
}

std::string encode(const std::vector<Character>& chars) {
  Text text;
  for (const Character c : chars) utf8::append(text, c);
  return text.str();
}

TEST(UnicodeTables, FixtureAndTablesAreTheSameUnicodeVersion) {
  EXPECT_EQ(fixture().version, "16.0.0");
  EXPECT_STREQ(unicode_tables::UNICODE_VERSION, "16.0.0");
}

struct Predicate {
  const char* name;
  std::function<bool(Character)> compiled;
  std::function<bool(Character)> expected;
  std::size_t count;
};

TEST(UnicodeTables, EveryPredicateMatchesThePackageForEveryScalarValue) {
  const auto& sets = fixture().sets;
  const auto in = [&sets](const char* name) { return [&members = sets.at(name)](Character c) { return bool(members[c]); }; };
  const Predicate predicates[] = {
      {"alphabetic", is_alphabetic, in("alphabetic"), 142759},
      {"numeric", is_numeric,
       [&](Character c) { return in("decimal_number")(c) || in("letter_number")(c) || in("other_number")(c); }, 1911},
      {"white_space", is_whitespace, in("white_space"), 25},
      {"cased", is_cased, in("cased"), 4578},
      {"case_ignorable", is_case_ignorable, in("case_ignorable"), 2749},
      {"alphanumeric", is_alphanumeric,
       [&](Character c) {
         return in("alphabetic")(c) || in("decimal_number")(c) || in("letter_number")(c) || in("other_number")(c);
       },
       0},
  };
  for (const auto& p : predicates) {
    std::size_t count = 0, mismatches = 0;
    for (Character c = 0; c <= LAST_SCALAR; ++c) {
      if (!is_scalar(c)) continue;
      const bool got = p.compiled(c);
      count += got;
      if (got != p.expected(c) && ++mismatches <= 5) ADD_FAILURE() << p.name << " wrong for U+" << std::hex << static_cast<unsigned>(c);
    }
    EXPECT_EQ(mismatches, 0U) << p.name;
    if (p.count != 0) {
      EXPECT_EQ(count, p.count) << p.name;
    }
  }
}

TEST(UnicodeTables, LowercasingEachScalarValueAloneMatchesThePackage) {
  const auto& lower = fixture().lower;
  std::size_t changed_above_ascii = 0, mismatches = 0, scalars = 0;
  Text out;
  for (Character c = 0; c <= LAST_SCALAR; ++c) {
    if (!is_scalar(c)) continue;
    ++scalars;
    const std::string input = encode({c});
    to_lowercase(input, out);
    const auto found = lower.find(c);
    const std::string expected = found == lower.end() ? input : encode(found->second);
    if (out.view() != expected && ++mismatches <= 5) ADD_FAILURE() << "lowercase wrong for U+" << std::hex << static_cast<unsigned>(c);
    changed_above_ascii += c >= 0x80 && out.view() != input;
  }
  EXPECT_EQ(scalars, 1112064U);
  EXPECT_EQ(mismatches, 0U);
  EXPECT_EQ(changed_above_ascii, 1434U);
}

// The look-up is a binary search.
TEST(UnicodeTables, LowercaseMappingsAreSorted) {
  const auto& table = unicode_tables::LOWERCASE_MAPPINGS;
  for (std::size_t i = 1; i < std::size(table); ++i) ASSERT_LT(table[i - 1].code, table[i].code);
}

// Byte-length changes: 23 shrink 3 -> 2, two grow 2 -> 3, U+212A shrinks
// 3 -> 1, U+0130 grows 2 -> 3; the rest keep their length. The stemmer's
// scratch is sized on this (normalised_capacity: growth by half at most).
TEST(UnicodeTables, LowercaseChangesByteLengthOnlyWhereExpected) {
  std::map<std::pair<std::size_t, std::size_t>, std::size_t> changes;
  Text out;
  for (const auto& m : unicode_tables::LOWERCASE_MAPPINGS) {
    const std::string input = encode({m.code});
    to_lowercase(input, out);
    if (out.size() != input.size()) ++changes[{input.size(), out.size()}];
  }
  const std::map<std::pair<std::size_t, std::size_t>, std::size_t> expected = {
      {{3, 2}, 23}, {{2, 3}, 3}, {{3, 1}, 1}};
  EXPECT_EQ(changes, expected);
}

}  // namespace
}  // namespace ardovel
