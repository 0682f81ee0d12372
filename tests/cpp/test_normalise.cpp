#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "reference/reference_stem.hpp"
#include "stemmer/normalise.hpp"
#include "stemmer/stem.hpp"

namespace ardovel {
namespace {

// The reference model's stages, which the fast pass is checked against
// everywhere else: these examples pin down that the model reads the rules
// right.
using Stage = std::string (*)(std::string_view);

struct StageCase {
  std::string_view input;
  std::string_view expected;
};

void expect_stage(Stage stage, std::initializer_list<StageCase> cases) {
  for (const auto& c : cases) EXPECT_EQ(stage(c.input), c.expected) << c.input;
}

TEST(Transliterate, EveryLetterPairAndItsDigraphs) {
  expect_stage(reference::transliterate,
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
  expect_stage(reference::transliterate,
               {
                   {"яблоко", "яbloko"},
                   {"ЙйЩщЪъЫыЬьЭэЮюЯяЀѐЁёЃѓЄєЅѕІіЇїЌќЍѝЎў", "ЙйЩщЪъЫыЬьЭэЮюЯяЀѐЁёЃѓЄєЅѕІіЇїЌќЍѝЎў"},
                   {"ѠѡҐґӀ", "ѠѡҐґӀ"},  // just past the Serbian span and its lead bytes
                   {"grad, Σ 😀 ž", "grad, Σ 😀 ž"},
                   {"београд-grad", "beograd-grad"},
               });
}

TEST(ReduceIje, ReplacesNonOverlappingOccurrencesLeftToRight) {
  expect_stage(reference::reduce_ije, {
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
  expect_stage(reference::filter, {
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
  std::vector<std::string> trace = reference::reference_trace(word);
  trace.resize(std::min(forms, trace.size()));
  return trace;
}

// ("ДЕЦА" and "İstanbul" are worked examples, traced whole.)
TEST(Normalisation, TracesThroughThePipeline) {
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
    const std::string expected = reference::filter(reference::transliterate(reference::lowercase(word)));
    std::string fused(normalised_capacity(word.size()), '\0');
    fused.resize(normalise_keeping_ije_into(word, fused.data()));
    EXPECT_EQ(fused, expected) << word;
  }
}

}  // namespace
}  // namespace ardovel

namespace ardovel {
namespace {

// A word of megabytes is normalised in pieces with the host asked between
// them; the pieces must give the one-pass answer, also where a piece ends
// inside "ije", inside a run of two-byte letters, or among dropped marks.
TEST(InterruptibleStem, PiecesGiveTheOnePassAnswerAndStopWhenAsked) {
  const std::size_t piece = interruptible_piece;
  const std::string words[] = {
      std::string(piece - 1, 'a') + "ije" + std::string(10, 'b'),
      std::string(piece - 2, 'a') + "IJ-E" + "Σa" + std::string(piece, 'c') + "ijE",
      [] {
        std::string w;
        while (w.size() < 3 * interruptible_piece) w += "Џи-јеΣ ";
        return w + "ЉУБАВИ";
      }(),
  };
  for (const std::string& word : words) {
    Text whole;
    const std::string expected(stem_word_into(word, whole));
    std::size_t asked = 0;
    const auto go_on = [](void* count) noexcept {
      ++*static_cast<std::size_t*>(count);
      return false;
    };
    Text pieces;
    const auto answer = stem_word_into(word, pieces, Interruption{go_on, &asked});
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, expected);
    EXPECT_GE(asked, word.size() / piece);

    const auto stop = [](void*) noexcept { return true; };
    Text stopped;
    EXPECT_FALSE(stem_word_into(word, stopped, Interruption{stop, nullptr}).has_value());
  }
}

}  // namespace
}  // namespace ardovel
