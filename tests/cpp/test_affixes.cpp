#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "stemmer/affix_tables.hpp"
#include "stemmer/affixes.hpp"

namespace ardovel {
namespace {

using Kind = ExceptionOutcome::Kind;

// Each listed form, with its stem, is a worked example (stem_examples.tsv);
// here the first-byte filter must let nothing but the whole form through.
TEST(Exceptions, OnlyExactWholeFormsMatch) {
  const std::string_view near_misses[] = {"detetu", " dete", "dete ", "det", "Dete", "juče ", "juce", "", "trc"};
  for (const std::string_view form : near_misses) EXPECT_EQ(lookup_exception(form).kind, Kind::not_exception) << form;
}

TEST(Suffix, FormsEndingInNoSuffixAreLeftAlone) {
  const std::string_view forms[] = {"", "mobilan", "grad", "dobar dan", "knjiga\n", "knjiga ", "peć", "ć", "č",
                                    "obil", "juć", "A"};
  for (const std::string_view form : forms) EXPECT_EQ(strip_suffix(form), std::nullopt) << form;
}

// The hashed matcher must find exactly what walking the table in trial
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
