// NFKC and the accent drop: the compiled tables against the generated
// fixture (tests/data/unicode_normalization.txt) over every scalar value,
// and the cases the analyzer's keys rely on. The fuzz target nfkc checks
// the fast code against the plain model on everything else.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "fixture.hpp"
#include "reference/reference_stem.hpp"
#include "unicode/accents.hpp"
#include "unicode/normalization.hpp"

namespace ardovel {
namespace {

using fixture::LAST_SCALAR;

struct Fixture {
  std::string version;
  std::map<Character, unsigned> rank;
  std::map<Character, normalization::QuickCheck> quick_check;  // all but Yes
  std::map<Character, std::u32string> decomposition;
  std::set<std::tuple<Character, Character, Character>> compositions;
};

using fixture::for_each_in_ranges;
using fixture::parse_hex;

Fixture load_fixture() {
  using normalization::QuickCheck;
  Fixture fixture;
  fixture::for_each_line(ARDOVEL_TEST_DATA "/unicode_normalization.txt", [&](const std::string& name, std::istringstream& fields) {
    if (name == "version") {
      fields >> fixture.version;
    } else if (name == "class_rank") {
      unsigned rank = 0;
      fields >> rank;
      for_each_in_ranges(fields, [&](Character c) { fixture.rank[c] = rank; });
    } else if (name == "quick_check_no" || name == "quick_check_maybe") {
      const QuickCheck value = name == "quick_check_no" ? QuickCheck::no : QuickCheck::maybe;
      for_each_in_ranges(fields, [&](Character c) { fixture.quick_check[c] = value; });
    } else if (name == "decomposition") {
      std::string code, part;
      fields >> code;
      auto& target = fixture.decomposition[parse_hex(code)];
      while (fields >> part) target.push_back(parse_hex(part));
    } else if (name == "decomposition_run") {
      std::string start;
      long count = 0, delta = 0;
      fields >> start >> count >> delta;
      for (long i = 0; i < count; ++i) {
        const auto c = static_cast<Character>(static_cast<long>(parse_hex(start)) + i);
        fixture.decomposition[c] = {static_cast<Character>(static_cast<long>(c) + delta)};
      }
    } else if (name == "composition") {
      std::string first, second, composite;
      fields >> first >> second >> composite;
      fixture.compositions.emplace(parse_hex(first), parse_hex(second), parse_hex(composite));
    } else {
      ADD_FAILURE() << "unknown fixture line " << name;
    }
  });
  return fixture;
}

std::string hex(Character c) {
  std::ostringstream out;
  out << "U+" << std::hex << std::uppercase << static_cast<unsigned>(c);
  return out.str();
}

TEST(NormalizationTables, EveryScalarValueHasTheFixturesRankQuickCheckAndDecomposition) {
  const Fixture fixture = load_fixture();
  EXPECT_EQ(fixture.version, "16.0.0");
  EXPECT_STREQ(unicode_tables::NORMALIZATION_UNICODE_VERSION, "16.0.0");
  std::size_t mismatches = 0;
  for (Character c = 0; c <= LAST_SCALAR; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const auto decomposed = fixture.decomposition.find(c);
    const auto check = fixture.quick_check.find(c);
    const auto quick_check = check == fixture.quick_check.end() ? normalization::QuickCheck::yes : check->second;
    std::string mapped;
    Character ranked = c;
    if (decomposed != fixture.decomposition.end()) {
      for (const Character d : decomposed->second) reference::append_utf8(mapped, d);
      // A composite has the rank of its first character; the class of a
      // quick-check No character is never asked for.
      ranked = quick_check == normalization::QuickCheck::no ? 0 : decomposed->second[0];
    }
    const auto rank = fixture.rank.find(ranked);
    const unsigned expected_rank = ranked == 0 || rank == fixture.rank.end() ? 0 : rank->second;
    const bool ok = normalization::quick_check(c) == quick_check && normalization::decomposition(c) == mapped &&
                    (ranked == 0 || normalization::class_rank(c) == expected_rank);
    if (!ok && ++mismatches <= 5) ADD_FAILURE() << "normalization data wrong for " << hex(c);
  }
  EXPECT_EQ(mismatches, 0U);

  std::set<std::tuple<Character, Character, Character>> compiled;
  for (std::size_t i = 0; i < std::size(unicode_tables::COMPOSITION_SECONDS); ++i) {
    for (std::size_t k = unicode_tables::COMPOSITION_STARTS[i]; k < unicode_tables::COMPOSITION_STARTS[i + 1]; ++k) {
      const auto& pair = unicode_tables::COMPOSITIONS[k];
      compiled.emplace(pair.first, unicode_tables::COMPOSITION_SECONDS[i], pair.composite);
      EXPECT_EQ(normalization::compose(pair.first, unicode_tables::COMPOSITION_SECONDS[i]), pair.composite);
    }
  }
  EXPECT_EQ(compiled, fixture.compositions);
}

struct Case {
  const char* what;
  const char* text;
  const char* nfkc;
  const char* key;  // the NFKC without accents
};

// The spellings the keys must not tell apart, and the marks they must keep.
const Case CASES[] = {
    {"NFD š", "s\u030Cuma", "šuma", "šuma"},
    {"digraph letters", "\u01C9ubav \u01C7UBAV \u01C8ubav \u01CCiva \u01C6ak", "ljubav LJUBAV Ljubav njiva džak",
     "ljubav LJUBAV Ljubav njiva džak"},
    {"ligature", "\uFB01lm", "film", "film"},
    {"the Latin letters of U+0100..U+017F that are not NFKC", "čĳ čĲ čĿ čŀ čŉ čſ", "čij čIJ čL\u00B7 čl\u00B7 č\u02BCn čs",
     "čij čIJ čL\u00B7 čl\u00B7 č\u02BCn čs"},
    {"fullwidth", "ＳＲＢＩＪＡ ｓｒｂｉｊａ", "SRBIJA srbija", "SRBIJA srbija"},
    {"Hangul, composed by arithmetic", "\u1100\u1161\u11A8 \uAC00\u11A8", "\uAC01 \uAC01", "\uAC01 \uAC01"},
    {"singletons", "\u212B \u2126", "\u00C5 \u03A9", "\u00C5 \u03A9"},
    {"composition exclusion", "\u0958", "\u0915\u093C", "\u0915\u093C"},
    {"canonical reordering", "q\u0307\u0323 a\u0301\u0323", "q\u0323\u0307 \u1EA1\u0301", "q\u0323\u0307 \u1EA1"},
    {"a starter that decomposes to one that composes", "\U0001138B\U000113C5", "\U0001138E\U000113C2",
     "\U0001138E\U000113C2"},
    {"a starter that composes with the one before", "\U000113C2\U000113C5", "\U000113C5\U000113C2",
     "\U000113C5\U000113C2"},
    {"accents in Latin", "rȅka grâd ŕ ȁ Ȃ ā́ ȉ", "rȅka grâd ŕ ȁ Ȃ ā́ ȉ", "reka grad r a A a i"},
    {"accents in Cyrillic", "ре̏ка а̀ ѐ Ѝ у̑ ӣ", "ре̏ка а̀ ѐ Ѝ у̑ ӣ", "река а е И у и"},
    {"accents among č and ш", "čѝ čЀ čŕ čā čē čī čō čū čĩ čũ шѝ шѐ шЍ", "čѝ čЀ čŕ čā čē čī čō čū čĩ čũ шѝ шѐ шЍ",
     "čи čЕ čr ča če či čo ču či ču ши ше шИ"},
    {"accents NFD", "re\u030Fka", "r\u0205ka", "reka"},
    {"marks that stay", "ć č š ž đ й ё ü ǘ ж\u0301 ĉ", "ć č š ž đ й ё ü ǘ ж\u0301 ĉ", "ć č š ž đ й ё ü ü ж\u0301 ĉ"},
};

TEST(Nfkc, KeysOfEquivalentSpellingsAgree) {
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.what);
    Text scratch, key;
    const std::string_view normalized = nfkc(c.text, scratch);
    EXPECT_EQ(normalized, c.nfkc);
    EXPECT_EQ(is_nfkc(c.text), std::string_view(c.text) == c.nfkc);
    EXPECT_TRUE(is_nfkc(c.nfkc));
    // Keys are made token by token, and the scans decide per text.
    std::string_view texts = c.text, words = normalized, keys = c.key;
    const auto next = [](std::string_view& rest) {
      const std::string_view first = rest.substr(0, rest.find(' '));
      rest.remove_prefix(std::min(rest.size(), first.size() + 1));
      return first;
    };
    while (!words.empty()) {
      const std::string_view text = next(texts), word = next(words), expected = next(keys);
      EXPECT_EQ(without_accents(word, key), expected);
      EXPECT_EQ(nfkc_without_accents(text, key), expected);
    }
    EXPECT_TRUE(keys.empty());
  }
}

}  // namespace
}  // namespace ardovel
