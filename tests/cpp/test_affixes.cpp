#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "stemmer/affix_tables.hpp"
#include "stemmer/affixes.hpp"

namespace ardovel {
namespace {

using Kind = ExceptionOutcome::Kind;

struct AffixCase {
  std::string_view form;
  std::optional<std::string_view> rest;  // nothing: the stage does not apply
};

TEST(Superlative, RemovesOneLeadingNajWhateverFollows) {
  const AffixCase cases[] = {
      {"najbolji", "bolji"},       {"naj", ""},       {"najave", "ave"},    {"naj dete", " dete"},
      {"najnajbolji", "najbolji"}, {"najdete", "dete"}, {"bolji", std::nullopt}, {"na", std::nullopt},
      {"", std::nullopt},          {"Naj", std::nullopt}, {"snaj", std::nullopt},
  };
  for (const AffixCase& c : cases) EXPECT_EQ(strip_superlative(c.form), c.rest) << c.form;
}

TEST(Exceptions, EachListedFormGivesItsFixedStem) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"trčanje", "trč"}, {"dete", "det"},     {"čoveče", "čovek"}, {"učenici", "učenik"},
      {"majci", "majk"},  {"junaci", "junak"}, {"vrapci", "vrab"},
  };
  for (const auto& [form, stem] : cases) {
    const ExceptionOutcome outcome = lookup_exception(form);
    EXPECT_EQ(outcome.kind, Kind::replace_and_stop) << form;
    EXPECT_EQ(outcome.stem, stem) << form;
  }
}

TEST(Exceptions, JuceStopsWithoutAStem) {
  EXPECT_EQ(lookup_exception("juče").kind, Kind::stop);
}

TEST(Exceptions, OnlyExactWholeFormsMatch) {
  const std::string_view near_misses[] = {"detetu", " dete", "dete ", "det", "Dete", "juče ", "juce", "", "trc"};
  for (const std::string_view form : near_misses) EXPECT_EQ(lookup_exception(form).kind, Kind::not_exception) << form;
}

TEST(SuffixTable, HoldsSeventyDistinctSuffixes) {
  const std::set<std::string_view> distinct(SUFFIX_TABLE.begin(), SUFFIX_TABLE.end());
  EXPECT_EQ(SUFFIX_TABLE.size(), 70U);
  EXPECT_EQ(distinct.size(), SUFFIX_TABLE.size());
}

TEST(SuffixTable, TrialOrderIsTheListingOrderStablySortedByDescendingByteLength) {
  std::vector<std::string_view> listing{
      "ovima", "ijima", "anjima", "enjima", "ucima", "mobil", "ovati", "ijama", "inama", "etima", "erima", "arima",
      "ozima", "icama", "ajući", "ujući", "avajući", "ivajući", "usima", "enjem", "anjem", "ima", "ama", "ili",
      "ovi", "eti", "uje", "uju", "ao", "asmo", "evši", "iji", "aše", "ov", "ev", "es", "og", "ih", "em", "om",
      "im", "oše", "aste", "ati", "iti", "uti", "ica", "ac", "ski", "čki", "čka", "čko", "ost", "nost", "izam",
      "ista", "stvo", "ač", "telj", "ši", "mo", "ju", "ja", "je", "še", "a", "e", "i", "o", "u"};
  std::stable_sort(listing.begin(), listing.end(),
                   [](std::string_view a, std::string_view b) { return a.size() > b.size(); });
  EXPECT_EQ(listing, std::vector<std::string_view>(SUFFIX_TABLE.begin(), SUFFIX_TABLE.end()));
}

TEST(Suffix, RemovesTheLongestSuffixThatEndsTheForm) {
  const AffixCase cases[] = {
      {"knjigama", "knjig"},     {"gradovima", "grad"}, {"ženama", "žen"},         {"čitajući", "čit"},
      {"pevajući", "pev"},       {"kupovati", "kup"},   {"gledajući", "gled"},     {"prodavajući", "prod"},
      {"pokazivajući", "pokaz"}, {"automobil", "auto"}, {"stvarnost", "stvar"},    {"socijalizam", "socijal"},
      {"prijateljstvo", "prijatelj"}, {"jači", "jač"},  {"junac", "jun"},          {"knjiga", "knjig"},
      {"vojnicima", "vojnic"},   {"kneže", "knež"},     {"lepša", "lepš"},         {"peći", "peć"},
  };
  for (const AffixCase& c : cases) EXPECT_EQ(strip_suffix(c.form), c.rest) << c.form;
}

TEST(Suffix, AFormThatIsASuffixBecomesEmpty) {
  for (const std::string_view form : {"a", "je", "ima", "mobil", "avajući"}) EXPECT_EQ(strip_suffix(form), "") << form;
}

TEST(Suffix, FormsEndingInNoSuffixAreLeftAlone) {
  const std::string_view forms[] = {"", "mobilan", "grad", "dobar dan", "knjiga\n", "knjiga ", "peć", "ć", "č",
                                    "obil", "juć", "A"};
  for (const std::string_view form : forms) EXPECT_EQ(strip_suffix(form), std::nullopt) << form;
}

// The last-byte index must find exactly what walking the table in trial
// order finds, for every suffix and whatever precedes it (including stems
// shorter than eight bytes and multi-byte letters right before the suffix).
std::optional<std::string_view> first_suffix_in_trial_order(std::string_view form) {
  for (const std::string_view suffix : SUFFIX_TABLE) {
    if (form.ends_with(suffix)) return form.substr(0, form.size() - suffix.size());
  }
  return std::nullopt;
}

TEST(Suffix, IndexAgreesWithWalkingTheWholeTable) {
  const std::string_view stems[] = {"", "x", "kr", "naj", "ć", "čš", "abcdefgh", "avajuć", "mob", "nos", "\xC4"};
  for (const std::string_view stem : stems) {
    for (const std::string_view suffix : SUFFIX_TABLE) {
      const std::string form = std::string(stem) + std::string(suffix);
      EXPECT_EQ(strip_suffix(form), first_suffix_in_trial_order(form)) << form;
      // The same with its last byte dropped: usually no suffix, or a shorter one.
      const std::string_view cut = std::string_view(form).substr(0, form.size() - 1);
      EXPECT_EQ(strip_suffix(cut), first_suffix_in_trial_order(cut)) << form;
    }
  }
}

}  // namespace
}  // namespace ardovel
