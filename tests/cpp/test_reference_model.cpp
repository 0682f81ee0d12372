// The production core against the plain reference model: every word of the
// Serbian hunspell dictionaries (as written, capitalised and in capitals),
// and a large seeded stream of generated texts built to reach every rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "reference/reference_stem.hpp"
#include "stemmer/affix_tables.hpp"
#include "stemmer/stem.hpp"

namespace ardovel {
namespace {

using reference::reference_stem;

std::string utf8(char32_t c) {
  std::string out;
  reference::append_utf8(out, c);
  return out;
}

// Capitals of the letters the dictionaries use (ASCII, č ć š ž đ, Serbian
// Cyrillic); `first_only` capitalises just the first character.
std::string to_upper(const std::string& word, bool first_only) {
  std::string out;
  bool done = false;
  for (char32_t c : reference::decode_utf8(word)) {
    if (!done) {
      if (c >= U'a' && c <= U'z') c -= 0x20;
      else if (c == U'č' || c == U'ć' || c == U'š' || c == U'ž' || c == U'đ') c -= 1;
      else if (c >= 0x0430 && c <= 0x044F) c -= 0x20;
      else if (c >= 0x0450 && c <= 0x045F) c -= 0x50;
    }
    done = first_only;
    out += utf8(c);
  }
  return out;
}

void expect_agreement(const std::string& word, int& failures) {
  const std::string answer = stem_word(word);
  const std::string expected = reference_stem(word);
  if (answer == expected) return;
  if (++failures <= 20) ADD_FAILURE() << "word «" << word << "»: core «" << answer << "», reference «" << expected << "»";
}

std::vector<std::string> dictionary_words(const std::filesystem::path& path) {
  std::vector<std::string> words;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  std::getline(in, line);  // the word count
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    words.push_back(line.substr(0, line.find('/')));
  }
  return words;
}

TEST(ReferenceModel, AgreesWithTheCoreOnEveryDictionaryWord) {
  const std::filesystem::path dir = ARDOVEL_HUNSPELL_DIR;
  const std::filesystem::path files[] = {dir / "sr_RS.dic", dir / "sr_Latn_RS.dic"};
  for (const auto& file : files) {
    if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is absent (Debian package hunspell-sr)";
  }
  int failures = 0;
  std::size_t checked = 0;
  for (const auto& file : files) {
    for (const std::string& word : dictionary_words(file)) {
      expect_agreement(word, failures);
      expect_agreement(to_upper(word, true), failures);
      expect_agreement(to_upper(word, false), failures);
      checked += 3;
    }
  }
  EXPECT_GT(checked, 1'000'000U);
  EXPECT_EQ(failures, 0);
}

// Pieces that reach every rule: both scripts and cases, the digraphs, "ije"
// and "naj" in both cases, suffixes and exception forms, sigma contexts
// (cased, case-ignorable, both), length-changing lowercase mappings,
// combining marks, every kind of white space, punctuation, astral letters.
std::vector<std::string> fragments() {
  std::vector<std::string> pieces = {
      "a", "e", "i", "o", "u", "k", "c", "z", "s", "j", "n", "A", "I", "J", "E", "N", "Z", "č", "ć", "š", "ž",
      "đ", "Č", "Ć", "Š", "Ž", "Đ", "lj", "nj", "dž", "Lj", "NJ", "Dž", "а", "и", "ј", "е", "љ", "њ", "џ", "ђ",
      "ћ", "ч", "ш", "ж", "ц", "з", "с", "к", "Ј", "Е", "Љ", "Њ", "Џ", "Ђ", "Ш", "И", "я", "Ё", "ѐ", "ӂ",
      "ije", "IJE", "Ije", "ijе", "ије", "ИЈЕ", "naj", "NAJ", "Naj", "нај", "НАЈ", "IT", "it", "ИТ",
      "Σ", "Α", "σ", "ς", "Ό", "'", ".", ":", "^", "`", "\u0345", "\u02B0", "\u0301", "\u0307", "\u030C",
      "\u0308", "\u0363", "\u093E", "\u00AD", "\u200D", "İ", "\u212A", "\u023A", "\u023E", "\u2C62", "\u1E9E",
      "\u01C5", "\u24B6", "\u2160", "\u00B2", "\u0660", "\u4E00", "\U0001F600", "\U00010400", "\U0001D400",
      " ", "\t", "\n", "\r", "\v", "\f", "\u0085", "\u00A0", "\u1680", "\u2003", "\u2028", "\u202F", "\u3000",
      "\u180E", "\u200B", "\u001C", "-", ",", "!", "?", "\"", "(", "2", "0", std::string(1, '\0'), "peć", "dec",
      "vitez", "niz", "juče", "JUČE", "dete", "ДЕТЕ", "dijete",
      // Runs of eight and more ASCII letters, with "ije" inside and across.
      "abcdefgh", "prijateljstvo", "ijijijij", "smijeh", "ABCDEFGHIJ", "0123456789", "xxxxxxxi", "jexxxxxx",
  };
  for (const auto suffix : SUFFIX_TABLE) pieces.emplace_back(suffix);
  for (const auto& entry : EXCEPTION_FORMS) pieces.emplace_back(entry.form);
  return pieces;
}

// Any scalar value, biased towards the first planes.
char32_t random_scalar(std::mt19937_64& random) {
  const std::uint64_t spread = random() % 4;
  const char32_t limit = spread == 0 ? 0x80 : spread == 1 ? 0x800 : spread == 2 ? 0x10000 : 0x110000;
  for (;;) {
    const auto c = static_cast<char32_t>(random() % limit);
    if (c < 0xD800 || c > 0xDFFF) return c;
  }
}

TEST(ReferenceModel, AgreesWithTheCoreOnGeneratedTexts) {
  std::uint64_t seed = 20240917;
  if (const char* given = std::getenv("ARDOVEL_REFERENCE_SEED")) seed = std::strtoull(given, nullptr, 10);
  std::mt19937_64 random(seed);
  const std::vector<std::string> pieces = fragments();
  int failures = 0;
  for (int n = 0; n < 300'000; ++n) {
    // Mostly short words; now and then a long text, past every inline buffer.
    const std::size_t count = random() % 16 == 0 ? random() % 120 : random() % 8;
    std::string word;
    for (std::size_t k = 0; k < count; ++k) {
      word += random() % 10 == 0 ? utf8(random_scalar(random)) : pieces[random() % pieces.size()];
    }
    expect_agreement(word, failures);
  }
  EXPECT_EQ(failures, 0) << "seed " << seed;
}

TEST(ReferenceModel, AgreesWithTheCoreOnLongTexts) {
  // Whole texts are one word to the stemmer; the production path handles
  // them in the same pass, past any inline buffer.
  std::mt19937_64 random(99);
  const std::vector<std::string> pieces = fragments();
  for (int n = 0; n < 20; ++n) {
    std::string text;
    while (text.size() < 50'000) text += pieces[random() % pieces.size()];
    EXPECT_EQ(stem_word(text), reference_stem(text)) << "text " << n;
  }
}

TEST(ProductionPath, ShortWordsNeedNoHeapBlock) {
  // Up to 69 bytes the scratch text's inline buffer holds the whole pass,
  // whatever the characters (two-byte ones may grow by half).
  std::string capitals(68, 'A');
  capitals += '!';
  std::string cyrillic;
  while (cyrillic.size() + 2 <= 69) cyrillic += "џ";
  for (const std::string& word : {std::string(69, 'a'), capitals, cyrillic}) {
    Text scratch;
    const std::string_view stem = stem_word_into(word, scratch);
    EXPECT_EQ(std::string(stem), reference_stem(word));
    EXPECT_EQ(scratch.capacity(), Text::inline_capacity) << word.size() << " bytes";
  }
}

}  // namespace
}  // namespace ardovel
