// The lemma lexicon against a fresh expansion of the installed dictionary,
// and the key's rules on a few words each.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "hunspell.hpp"
#include "lexicon/lemma.hpp"
#include "sha256.hpp"
#include "stemmer/stem.hpp"
#include "ardovel/utf8.hpp"

namespace {

using ardovel::Lexicon;
using ardovel::LemmaScratch;

const std::string dic_path = std::string(ARDOVEL_HUNSPELL_DIR) + "/sr_Latn_RS.dic";
const std::string aff_path = std::string(ARDOVEL_HUNSPELL_DIR) + "/sr_Latn_RS.aff";

std::string key_of(std::string_view word, bool fold = false) {
  LemmaScratch scratch;
  return std::string(ardovel::lemma_key_into(word, fold, scratch));
}

// The regeneration check: the built-in data must be what the generator
// makes of the dictionary installed now, form for form, in both indexes.
// A changed dictionary or generator without a rebuild fails here.
TEST(Lexicon, HoldsEveryFormOfAFreshExpansion) {
  if (!ardovel::lexicon_available()) GTEST_SKIP() << "built without the lexicon (option lemmas)";
  const Lexicon& lexicon = Lexicon::installed();
  const std::string metadata(lexicon.metadata());
  EXPECT_NE(metadata.find(ardovel::lexicon_tool::sha256_of_file(dic_path)), std::string::npos) << metadata;
  EXPECT_NE(metadata.find(ardovel::lexicon_tool::sha256_of_file(aff_path)), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("GPL-2+ or LGPL-2.1 or MPL-1.1"), std::string::npos) << metadata;

  const auto dictionary = ardovel::lexicon_tool::read_dictionary(dic_path, aff_path);
  const auto readings = ardovel::lexicon_tool::expand(dictionary);
  const auto counts =
      ardovel::lexicon_tool::read_counts(std::string(ARDOVEL_SOURCE_ROOT) + "/tools/lexicon/serbian_form_counts.tsv");
  const auto folded = ardovel::lexicon_tool::choose_folded_keys(dictionary, readings, counts);
  const auto exact = ardovel::lexicon_tool::choose_keys(dictionary, readings, counts);
  ASSERT_GT(exact.size(), 3'000'000U);

  ardovel::Text key;
  const auto check = [&](const std::vector<ardovel::lexicon_tool::Choice>& choices, bool bald) {
    std::size_t wrong = 0;
    for (const auto& choice : choices) {
      const std::uint32_t code = lexicon.find(choice.form, bald);
      const std::string_view found = code == 0 ? "(missing)" : lexicon.apply(code, choice.form, key);
      if (found != choice.key && ++wrong <= 5)
        ADD_FAILURE() << (bald ? "bald " : "") << choice.form << ": " << found << ", expected " << choice.key;
    }
    EXPECT_EQ(wrong, 0U);
  };
  check(exact, false);
  check(folded, true);

  // Folding must not lose what the marks tell: a form written with them
  // keys to its own lemma, folded, whatever the bald form's choice.
  std::size_t wrong = 0;
  LemmaScratch scratch;
  for (const auto& choice : exact) {
    if (ardovel::lexicon_tool::fold(choice.form) == choice.form) continue;
    const std::string_view found = ardovel::lemma_key_into(choice.form, true, scratch);
    if (found != ardovel::lexicon_tool::fold(choice.key) && ++wrong <= 5)
      ADD_FAILURE() << "folded " << choice.form << ": " << found << ", expected " << choice.key << " folded";
  }
  EXPECT_EQ(wrong, 0U);
}

struct KeyCase {
  const char* what;
  std::vector<std::string_view> words;  // all give `key`
  const char* key;
  bool fold;
};

TEST(Lexicon, KeysMeetAcrossSpellings) {
  if (!ardovel::lexicon_available()) GTEST_SKIP() << "built without the lexicon (option lemmas)";
  const KeyCase cases[] = {
      {"ijekavian and ekavian, long reflex", {"rijeka", "rijekama", "reka", "reke"}, "reka", false},
      {"ijekavian and ekavian, short reflex", {"pjesma", "pjesmama", "pesma"}, "pesma", false},
      {"Cyrillic and Latin, any case", {"реке", "РИЈЕКАМА", "Rijeci"}, "reka", false},
      {"a form that is itself a lemma keys to itself", {"reka"}, "reka", false},
      {"a derived word keeps its own lemma", {"srpskog", "srpskim", "srpski"}, "srpski", false},
      {"an ethnonym is not its country", {"Srbima", "Srbin"}, "srbin", false},
      {"comparison: degrees of one adjective", {"mlađi", "mlađeg"}, "mlad", false},
      {"a passive participle is a form of its verb", {"objavljen", "objavljenog", "objaviti"}, "objaviti", false},
      {"an ijekavian key with no ekavian lemma meets through an ekavian form", {"Njemačkoj", "Nemačkoj"}, "nemačka", false},
      {"a \"nje\" that is no reflex stays", {"pitanje", "pitanja"}, "pitanje", false},
      {"a noun or adjective over a verb", {"prošle", "prošlog", "prošli"}, "prošli", false},
      {"... and so when folded, where \"proći\" is spelled \"proci\"", {"prosle", "proslog", "prošle"}, "prosli", true},
      {"folding finds the undiacritised spelling", {"sisanje", "šišanje", "ШИШАЊЕ"}, "sisanje", true},
      {"folding spells đ as dj", {"djak", "đak", "đaka"}, "djak", true},
      {"folded, a form as written over one that only folds to it", {"pesama", "pesma"}, "pesma", true},
      {"one entry making a form twice is one vote", {"sednici", "sednicu"}, "sednica", true},
      {"no letters or digits, no key", {"!!!", "„”"}, "", false},
  };
  for (const KeyCase& c : cases)
    for (const std::string_view word : c.words) EXPECT_EQ(key_of(word, c.fold), c.key) << c.what << ": " << word;
}

// Words the lexicon lacks: an ekavian reading it has, else the rule of the
// longest known ending, else the stem.
TEST(Lexicon, WordsItLacks) {
  if (!ardovel::lexicon_available()) GTEST_SKIP() << "built without the lexicon (option lemmas)";
  const Lexicon& lexicon = Lexicon::installed();
  const struct {
    const char* word;
    const char* key;
  } cases[] = {
      {"krompirizacijama", "krompirizacija"},  // the rule of "-acijama"
      {"uzavrjelosti", "uzavrelost"},          // only the ekavian spelling is in the dictionary
      {"najkrompirastijim", "krompirast"},     // a superlative is read as its comparative
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lexicon.find(c.word, false), 0U) << c.word << " is in the lexicon after all";
    EXPECT_EQ(key_of(c.word), c.key) << c.word;
  }
  // A rule read off forms that spell their ending with other letters must
  // not cut a letter in half.
  for (const std::string_view word : {"vžg", "nćg", "bgčg", "nibćme", "vjaštpćga"})
    for (const bool fold : {false, true}) {
      EXPECT_TRUE(ardovel::is_valid_utf8(key_of(word, fold))) << word;
    }
}

TEST(Lexicon, WithoutDataTheKeyIsTheStem) {
  const Lexicon none{std::span<const unsigned char>{}};
  EXPECT_FALSE(none.available());
  LemmaScratch scratch;
  for (const std::string_view word : {"knjigama", "Рijeке", "!!!"})
    EXPECT_EQ(ardovel::lemma_key_into(none, word, false, scratch), ardovel::stem_word(word)) << word;
}

}  // namespace
