#include <gtest/gtest.h>

#include <string>

#include "stemmer/consonant.hpp"

namespace ardovel {
namespace {

std::string restored(std::string_view form) {
  std::string work(form);
  return std::string(restore_final_consonant_in_place(work.data(), work.size()));
}

struct RestoreCase {
  std::string_view form;
  std::string_view expected;
};

void expect_all(std::initializer_list<RestoreCase> cases) {
  for (const RestoreCase& c : cases) EXPECT_EQ(restored(c.form), c.expected) << c.form;
}

TEST(FinalConsonant, FirstGroupRestoresCZSFromFourCharactersOn) {
  expect_all({{"knjiz", "knjig"}, {"vojnic", "vojnik"}, {"sestric", "sestrik"}, {"mesec", "mesek"},
              {"kupus", "kupuh"}, {"pokaz", "pokag"}, {"mali pas", "mali pah"}, {"udec", "udek"}});
}

TEST(FinalConsonant, SecondGroupRestoresCaronLettersFromFourCharactersOn) {
  expect_all({{"ključ", "kljuk"}, {"knež", "kneg"}, {"lepš", "leph"}, {"graš", "grah"}, {"njegoš", "njegoh"},
              {"cveč", "cvek"}});
}

TEST(FinalConsonant, MinimumCountsCharactersNotBytes) {
  // «miš» and «nož» are four bytes but three characters.
  expect_all({{"ruc", "ruc"}, {"nos", "nos"}, {"miš", "miš"}, {"nož", "nož"}, {"lic", "lic"}, {"z", "z"}, {"", ""}});
}

TEST(FinalConsonant, PecAndProtectedFormsAreWholeFormMatches) {
  expect_all({{"peć", "pek"}, {"dec", "dec"}, {"vitez", "vitez"}, {"niz", "niz"},
              // Inside longer forms the general rules apply; ć has none.
              {"trpeć", "trpeć"}, {"peći", "peći"}, {"vitezz", "vitezg"}, {"niz ", "niz "}});
}

TEST(FinalConsonant, OtherFinalLettersAreLeftAlone) {
  expect_all({{"grad", "grad"}, {"cveć", "cveć"}, {"knjig", "knjig"}, {"kuća", "kuća"}, {"dobar dan", "dobar dan"}});
}

}  // namespace
}  // namespace ardovel
