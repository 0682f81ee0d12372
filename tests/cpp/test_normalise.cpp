#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "stemmer/normalise.hpp"
#include "stemmer/stem.hpp"

namespace ardovel {
namespace {

using Stage = void (*)(std::string_view, Text&);

struct StageCase {
  std::string_view input;
  std::string_view expected;
};

// Each stage must overwrite whatever `out` held before.
void expect_stage(Stage stage, std::initializer_list<StageCase> cases) {
  for (const auto& c : cases) {
    Text out("old bytes that must not survive");
    stage(c.input, out);
    EXPECT_EQ(out.view(), c.expected) << c.input;
  }
}

TEST(Transliterate, EveryLetterPairAndItsDigraphs) {
  expect_stage(transliterate_cyrillic,
               {
                   {"АБВГДЂЕЖЗИЈКЛЉМНЊОПРСТЋУФХЦЧЏШ", "ABVGDĐEŽZIJKLLjMNNjOPRSTĆUFHCČDžŠ"},
                   {"абвгдђежзијклљмнњопрстћуфхцчџш", "abvgdđežzijklljmnnjoprstćufhcčdžš"},
                   {"деца", "deca"},
                   {"љубав", "ljubav"},
                   {"џеп", "džep"},
                   {"ђак", "đak"},
                   {"ћерка", "ćerka"},
                   {"ЉУБАВ", "LjUBAV"},
                   {"", ""},
               });
}

TEST(Transliterate, NonSerbianCyrillicAndOtherScriptsPassThrough) {
  expect_stage(transliterate_cyrillic,
               {
                   {"яблоко", "яbloko"},
                   {"ЙйЩщЪъЫыЬьЭэЮюЯяЀѐЁёЃѓЄєЅѕІіЇїЌќЍѝЎў", "ЙйЩщЪъЫыЬьЭэЮюЯяЀѐЁёЃѓЄєЅѕІіЇїЌќЍѝЎў"},
                   {"ѠѡҐґӀ", "ѠѡҐґӀ"},  // just past the Serbian span and its lead bytes
                   {"grad, Σ 😀 ž", "grad, Σ 😀 ž"},
                   {"београд-grad", "beograd-grad"},
               });
}

TEST(ReduceIje, ReplacesNonOverlappingOccurrencesLeftToRight) {
  expect_stage(reduce_ije, {
                               {"mlijeko", "mleko"},
                               {"dijete", "dete"},
                               {"lijepo", "lepo"},
                               {"pije", "pe"},
                               {"ijeije", "ee"},
                               {"iije", "ie"},
                               {"ijje", "ijje"},
                               {"ij", "ij"},
                               {"IJE", "E"},
                               {"ije IJE Ije", "e E Ije"},
                               {"", ""},
                           });
}

TEST(FilterCharacters, KeepsLettersDigitsAndWhiteSpaceOnly) {
  expect_stage(filter_characters, {
                                      {"beograd-grad", "beogradgrad"},
                                      {"knjiga,", "knjiga"},
                                      {"2024.", "2024"},
                                      {"dobar  dan", "dobar  dan"},
                                      {"a\tb\nc\u00A0d\u3000", "a\tb\nc\u00A0d\u3000"},
                                      {"?!", ""},
                                      {"i\u0307stanbul", "istanbul"},
                                      {"kuc\u0301a", "kuca"},
                                      {"kuc\u030Ca", "kuca"},
                                      {"kuća", "kuća"},
                                      {"\u24D0", "\u24D0"},
                                      {"\u0915\u093E\u00B2\u2160", "\u0915\u093E\u00B2\u2160"},
                                      {"a\u00AD\u200Db\u001Fc", "abc"},
                                      {std::string_view("x\0y", 3), "xy"},
                                  });
}

// The forms the normalisation stages leave in the trace; the affix and
// consonant stages may add more after them.
std::vector<std::string> leading_trace(std::string_view word, std::size_t forms) {
  StemTrace trace;
  (void)stem_word(word, trace);
  trace.forms.resize(std::min(forms, trace.forms.size()));
  return trace.forms;
}

TEST(Normalisation, TracesThroughThePipeline) {
  EXPECT_EQ(leading_trace("ДЕЦА", 3), (std::vector<std::string>{"ДЕЦА", "деца", "deca"}));
  EXPECT_EQ(leading_trace("İstanbul", 3), (std::vector<std::string>{"İstanbul", "i\u0307stanbul", "istanbul"}));
  EXPECT_EQ(leading_trace("Београд-grad", 4),
            (std::vector<std::string>{"Београд-grad", "београд-grad", "beograd-grad", "beogradgrad"}));
  EXPECT_EQ(leading_trace("Mlijeko", 3), (std::vector<std::string>{"Mlijeko", "mlijeko", "mleko"}));
}

// The fused pass that keeps "ije" (the lemma lookup's) against the stages
// it fuses, on words that take each of its paths: eight-byte ASCII blocks
// with "ij" across their edges, dropped characters between "i" and "je",
// Cyrillic, the general path (final sigma, dotted capital I).
TEST(Normalisation, KeepingIjeIsThePipelineWithoutTheReduction) {
  for (const std::string_view word :
       {"Mlijeko", "ДИЈЕТЕ", "i-je", "abcdefgijeklmnopij", "ABCDEFGHIJEKLMNOP", "pjesma!", "ΣΊΣΥΦΟΣ", "İstanbul",
        "Srbija—Београд", "đak Džungla", "ij", "1.2-3"}) {
    Text lower, latin, kept;
    lowercase(word, lower);
    transliterate_cyrillic(lower.view(), latin);
    filter_characters(latin.view(), kept);
    std::string fused(normalised_capacity(word.size()), '\0');
    fused.resize(normalise_keeping_ije_into(word, fused.data()));
    EXPECT_EQ(fused, kept.view()) << word;
  }
}

}  // namespace
}  // namespace ardovel
