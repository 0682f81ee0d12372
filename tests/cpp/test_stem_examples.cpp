// Whole-pipeline examples: each word with every form it passes through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stemmer/stem.hpp"

namespace ardovel {
namespace {

struct TraceCase {
  std::string word;
  std::vector<std::string> trace;  // the answer is its last entry
};

void expect_traces(const std::vector<TraceCase>& cases) {
  for (const TraceCase& c : cases) {
    StemTrace trace;
    const std::string answer = stem_word(c.word, trace);
    EXPECT_EQ(trace.forms, c.trace) << c.word;
    EXPECT_EQ(answer, c.trace.back()) << c.word;
    EXPECT_EQ(stem_word(c.word), c.trace.back()) << c.word;
  }
}

TEST(StemExamples, NormalisationFeedsTheAffixStages) {
  expect_traces({
      {"IT!", {"IT!", "it!", "it"}},
      {"ИТ", {"ИТ", "ит", "it"}},
      {"Књига", {"Књига", "књига", "knjiga", "knjig"}},
      {"ЊЕГОШ", {"ЊЕГОШ", "његош", "njegoš", "njegoh"}},
      {"дијете", {"дијете", "dijete", "dete", "det"}},
      {"i-je", {"i-je", "ije", "i"}},
      {"NAJ-BOLJI", {"NAJ-BOLJI", "naj-bolji", "najbolji", "bolji", "bolj"}},
      {"JUČE,", {"JUČE,", "juče,", "juče"}},
      {"cvijeće", {"cvijeće", "cveće", "cveć"}},
      {"pije", {"pije", "pe", "p"}},
      {"ДЕЦА", {"ДЕЦА", "деца", "deca", "dec"}},
      {"Juče", {"Juče", "juče"}},
      {"dijete", {"dijete", "dete", "det"}},
      {"It", {"It", "it"}},
      {"Knjigama", {"Knjigama", "knjigama", "knjig"}},
      {"Peć", {"Peć", "peć", "pek"}},
  });
}

TEST(StemExamples, LatinLowerCaseWords) {
  expect_traces({
      {"najnajbolji", {"najnajbolji", "najbolji", "najbolj"}},
      {"najbolji", {"najbolji", "bolji", "bolj"}},
      {"prodavajući", {"prodavajući", "prod"}},
      {"pokazivajući", {"pokazivajući", "pokaz", "pokag"}},
      {"junac", {"junac", "jun"}},
      {"lice", {"lice", "lic"}},
      {"mali pas", {"mali pas", "mali pah"}},
      {"knjiga\n", {"knjiga\n"}},
      {"dobar dan", {"dobar dan"}},
      {"grad", {"grad"}},
      {"", {""}},
      {"IT", {"IT"}},
  });
}

TEST(StemExamples, PrefixAndExceptionStages) {
  expect_traces({
      {"naj", {"naj", ""}},
      {"najave", {"najave", "ave", "av"}},
      {"naj dete", {"naj dete", " dete", " det"}},
      {"najdete", {"najdete", "dete", "det"}},
      {"najjači", {"najjači", "jači", "jač"}},
      {"dete", {"dete", "det"}},
      {"trčanje", {"trčanje", "trč"}},
      {"čoveče", {"čoveče", "čovek"}},
      {"učenici", {"učenici", "učenik"}},
      {"majci", {"majci", "majk"}},
      {"junaci", {"junaci", "junak"}},
      {"vrapci", {"vrapci", "vrab"}},
      {"juče", {"juče"}},
      {"detetu", {"detetu", "detet"}},
  });
}

TEST(StemExamples, SuffixStage) {
  expect_traces({
      {"knjigama", {"knjigama", "knjig"}},
      {"gradovima", {"gradovima", "grad"}},
      {"ženama", {"ženama", "žen"}},
      {"čitajući", {"čitajući", "čit"}},
      {"pevajući", {"pevajući", "pev"}},
      {"kupovati", {"kupovati", "kup"}},
      {"gledajući", {"gledajući", "gled"}},
      {"automobil", {"automobil", "auto"}},
      {"mobilan", {"mobilan"}},
      {"stvarnost", {"stvarnost", "stvar"}},
      {"socijalizam", {"socijalizam", "socijal"}},
      {"prijateljstvo", {"prijateljstvo", "prijatelj"}},
      {"a", {"a", ""}},
      {"je", {"je", ""}},
      {"ima", {"ima", ""}},
      {"mobil", {"mobil", ""}},
  });
}

TEST(StemExamples, FinalConsonantStage) {
  expect_traces({
      {"peći", {"peći", "peć", "pek"}},
      {"deca", {"deca", "dec"}},
      {"vitezovi", {"vitezovi", "vitez"}},
      {"nizovi", {"nizovi", "niz"}},
      {"knjizi", {"knjizi", "knjiz", "knjig"}},
      {"vojnicima", {"vojnicima", "vojnic", "vojnik"}},
      {"sestrice", {"sestrice", "sestric", "sestrik"}},
      {"ruci", {"ruci", "ruc"}},
      {"mesec", {"mesec", "mesek"}},
      {"kupus", {"kupus", "kupuh"}},
      {"ključ", {"ključ", "kljuk"}},
      {"kneže", {"kneže", "knež", "kneg"}},
      {"lepša", {"lepša", "lepš", "leph"}},
      {"miša", {"miša", "miš"}},
      {"noža", {"noža", "nož"}},
      {"trpeć", {"trpeć"}},
  });
}

}  // namespace
}  // namespace ardovel
