// The text layer: the token rule, offsets, lenient input, stems and stop
// words, against the exported Unicode data and the stemmer itself.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/analyzer_impl.hpp"
#include "ardovel/analyzer.hpp"
#include "ardovel/utf8.hpp"
#include "fixture.hpp"
#include "ardovel/stem.hpp"
#include "unicode/separator.hpp"

namespace ardovel {
namespace analysis {
namespace {

using fixture::is_scalar;
using fixture::LAST_SCALAR;

// tests/data/unicode_categories.txt: "gc XX" lines, white_space, separator.
struct Categories {
  std::string version;
  std::map<std::string, std::vector<std::pair<Character, Character>>> sets;  // inclusive ranges
};

const Categories& categories() {
  static const Categories loaded = [] {
    Categories result;
    fixture::for_each_line(ARDOVEL_TEST_DATA "/unicode_categories.txt", [&](std::string name, std::istringstream& fields) {
      if (name == "version") {
        fields >> result.version;
        return;
      }
      if (name == "gc") {
        std::string category;
        fields >> category;
        name += " " + category;
      }
      fixture::for_each_range(fields, [&](Character first, Character last) { result.sets[name].emplace_back(first, last); });
    });
    return result;
  }();
  return loaded;
}

std::vector<bool> members_of(std::initializer_list<std::string> names) {
  std::vector<bool> members(LAST_SCALAR + 1);
  for (const std::string& name : names)
    for (const auto& [first, last] : categories().sets.at(name))
      for (Character c = first; c <= last; ++c) members[c] = true;
  return members;
}

std::string encode(Character c) {
  Text text;
  utf8::append(text, c);
  return text.str();
}

TEST(Separators, PredicateMatchesThePackageForEveryScalarValue) {
  EXPECT_EQ(categories().version, "16.0.0");
  EXPECT_STREQ(unicode_tables::SEPARATOR_UNICODE_VERSION, "16.0.0");
  // Built from the categories themselves, so the fixture's own union line
  // is checked too.
  const auto expected = members_of({"white_space", "gc Pc", "gc Pd", "gc Ps", "gc Pe", "gc Pi", "gc Pf", "gc Po",
                                    "gc Sm", "gc Sc", "gc Sk", "gc So", "gc Cc"});
  EXPECT_EQ(members_of({"separator"}), expected);
  std::size_t mismatches = 0, count = 0;
  for (Character c = 0; c <= LAST_SCALAR; ++c) {
    if (!is_scalar(c)) continue;
    count += is_separator(c);
    if (is_separator(c) != expected[c] && ++mismatches <= 5) ADD_FAILURE() << "U+" << std::hex << unsigned(c);
  }
  EXPECT_EQ(mismatches, 0U);
  EXPECT_EQ(count, 9453U);
  for (unsigned byte = 0; byte < 0x80; ++byte) EXPECT_EQ(is_ascii_separator(byte), bool(expected[byte])) << byte;
}

std::vector<std::string> tokens_of(std::string_view text) {
  std::vector<std::string> tokens;
  for_each_token(text, [&](const Token& token) { tokens.emplace_back(token.text); });
  return tokens;
}

using Strings = std::vector<std::string>;

struct TokenCase {
  const char* text;
  Strings tokens;
};

// Every class, at every UTF-8 length, is the next test's.
TEST(Tokenizer, SplitsAtSeparatorsAndKeepsWhatBelongsInsideWords) {
  const TokenCase cases[] = {
      {"", {}},
      {" \t\n ", {}},
      {"knjige,reke", {"knjige", "reke"}},
      {"«Књиге», рече он.", {"Књиге", "рече", "он"}},
      // Soft hyphen, zero-width joiner, combining marks and digits stay in.
      {"pre\u00ADlom zw\u200Dj ku\u0107a kuc\u0301a 2024.god", {"pre\u00ADlom", "zw\u200Dj", "ku\u0107a", "kuc\u0301a", "2024", "god"}},
      {"x²³ ½ Ⅻ ١٢", {"x²³", "½", "Ⅻ", "١٢"}},
      {"IT's", {"IT", "s"}},
  };
  for (const auto& c : cases) EXPECT_EQ(tokens_of(c.text), c.tokens) << c.text;
}

// One character of every category between two letters: it splits the word
// exactly when it is a separator, for characters of every UTF-8 length.
TEST(Tokenizer, EachCategorySplitsAWordExactlyWhenTheFixtureSaysSeparator) {
  const auto separator = members_of({"separator"});
  for (const auto& [name, ranges] : categories().sets) {
    if (name.rfind("gc ", 0) != 0 || name == "gc Cs") continue;
    for (std::size_t i = 0; i < ranges.size(); i += 1 + ranges.size() / 16) {
      for (const Character c : {ranges[i].first, ranges[i].second}) {
        const std::string text = "ab" + encode(c) + "cd";
        const Strings expected = separator[c] ? Strings{"ab", "cd"} : Strings{text};
        EXPECT_EQ(tokens_of(text), expected) << name << " U+" << std::hex << unsigned(c);
      }
    }
  }
}

std::size_t code_points(std::string_view text) {
  std::size_t count = 0;
  for (const char byte : text) count += !utf8::is_continuation(static_cast<unsigned char>(byte));
  return count;
}

// The offsets of valid text: byte spans view the token, code-point spans
// count what comes before.
void expect_offsets_hold(std::string_view text) {
  for_each_token(text, [&](const Token& token) {
    EXPECT_EQ(text.substr(token.bytes.begin, token.bytes.end - token.bytes.begin), token.text);
    EXPECT_EQ(token.text.data(), text.data() + token.bytes.begin);
    EXPECT_EQ(token.chars.begin, code_points(text.substr(0, token.bytes.begin)));
    EXPECT_EQ(token.chars.end - token.chars.begin, code_points(token.text));
  });
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), {}};
}

const std::string& sample_text() {
  static const std::string text = read_file(ARDOVEL_SOURCE_ROOT "/samples/sample.txt");
  return text;
}

TEST(Tokenizer, ByteAndCodePointOffsets) {
  std::vector<std::pair<Span, Span>> spans;
  for_each_token("Ђак 😀, ñ-x", [&](const Token& t) { spans.emplace_back(t.bytes, t.chars); });
  const std::vector<std::pair<Span, Span>> expected = {{{0, 6}, {0, 3}}, {{13, 15}, {7, 8}}, {{16, 17}, {9, 10}}};
  EXPECT_EQ(spans, expected);
  expect_offsets_hold(sample_text());
  expect_offsets_hold("  ~ Č\u0301ć😀x—y ");
}

TEST(Tokenizer, ASinkReturningFalseStopsTheWalk) {
  int seen = 0;
  EXPECT_FALSE(for_each_token("a b c d", [&](const Token&) { return ++seen < 2; }));
  EXPECT_EQ(seen, 2);
  EXPECT_TRUE(for_each_token("a b", [](const Token&) { return true; }));
}

struct LenientCase {
  std::string bytes;
  Strings tokens;
  std::vector<Span> chars;
};

TEST(Tokenizer, LenientInputSeparatesAtEveryByteThatStartsNoWellFormedSequence) {
  const LenientCase cases[] = {
      {"ab\xFF" "cd", {"ab", "cd"}, {{0, 2}, {3, 5}}},
      {"\x80\xBF" "ž\xC0\xAFx", {"ž", "x"}, {{2, 3}, {5, 6}}},          // stray continuations, overlong
      {"a\xED\xA0\x80" "b", {"a", "b"}, {{0, 1}, {4, 5}}},               // a surrogate: three separators
      {"a\xE2\x82" "b\xF4\x90\x80\x80" "c", {"a", "b", "c"}, {{0, 1}, {3, 4}, {8, 9}}},  // broken; above U+10FFFF
      {"dž\xC5", {"dž"}, {{0, 2}}},                                      // truncated at the end
      {std::string("a\0b", 3), {"a", "b"}, {{0, 1}, {2, 3}}},
  };
  for (const auto& c : cases) {
    Strings tokens;
    std::vector<Span> chars;
    for_each_token<Utf8Input::lenient>(c.bytes, [&](const Token& t) {
      tokens.emplace_back(t.text);
      chars.push_back(t.chars);
    });
    EXPECT_EQ(tokens, c.tokens) << c.bytes;
    EXPECT_EQ(chars, c.chars) << c.bytes;
  }
}

TEST(Tokenizer, LenientTokensAreWellFormedInBoundsAndAgreeWithValidModeOnValidText) {
  std::mt19937 random(12);
  // Bytes that make sequences of every kind likely: ASCII letters and
  // punctuation, leads, continuations, and bytes no sequence has.
  const unsigned char alphabet[] = {'a', 'Z', '0', ' ', ',', 0xC4, 0xC5, 0xD0, 0xE2, 0xE0, 0xED, 0xEF, 0xF0,
                                    0xF4, 0xF5, 0x80, 0x8D, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF, 0x00};
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 24, '\0');
    for (char& byte : bytes) byte = static_cast<char>(alphabet[random() % sizeof alphabet]);
    std::size_t last_end = 0;
    for_each_token<Utf8Input::lenient>(bytes, [&](const Token& t) {
      ASSERT_FALSE(t.text.empty());
      ASSERT_GE(t.bytes.begin, last_end);
      ASSERT_LE(t.bytes.end, bytes.size());
      last_end = t.bytes.end;
      ASSERT_TRUE(is_valid_utf8(t.text));
      for (const std::string& inner : tokens_of(t.text)) EXPECT_EQ(inner, t.text);
    });
  }
  std::vector<Token> valid, lenient;
  for_each_token(sample_text(), [&](const Token& t) { valid.push_back(t); });
  for_each_token<Utf8Input::lenient>(sample_text(), [&](const Token& t) { lenient.push_back(t); });
  ASSERT_EQ(valid.size(), lenient.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    EXPECT_EQ(valid[i].bytes, lenient[i].bytes);
    EXPECT_EQ(valid[i].chars, lenient[i].chars);
  }
}

std::vector<std::pair<std::string, std::string>> analyse(Analyzer& analyzer, std::string_view text) {
  std::vector<std::pair<std::string, std::string>> terms;
  analyzer.analyze(text, [&](const Term& term) { terms.emplace_back(term.token.text, term.key); });
  return terms;
}

// What the analyzer must give: each token with its stem_word, unless empty.
std::vector<std::pair<std::string, std::string>> expected_terms(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> terms;
  for (const std::string& token : tokens_of(text)) {
    std::string stem = stem_word(token);
    if (!stem.empty()) terms.emplace_back(token, std::move(stem));
  }
  return terms;
}

TEST(Analyzer, StemsAreThoseOfStemWordAndEmptyStemsAreLeftOut) {
  Analyzer analyzer;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Књиге", "knjig"}, {"NAJBOLJI", "bolj"}, {"IT", "IT"}, {"it", "it"}, {"дијете", "det"}};
  // "a", "je" and "naj" stem to nothing.
  EXPECT_EQ(analyse(analyzer, "Књиге, a NAJBOLJI je IT/it naj дијете!"), expected);
  EXPECT_EQ(analyse(analyzer, sample_text()), expected_terms(sample_text()));
  const std::string long_token(5000, 'x');
  EXPECT_EQ(analyse(analyzer, "kuća " + long_token + " kuća"), expected_terms("kuća " + long_token + " kuća"));
}

// The query rule, which every front end follows: (query, stop words, the
// terms as "key" or "key*" for a prefix, with "|" before an alternative).
struct QueryCase {
  const char* query;
  bool stop_words;
  Strings terms;
};

TEST(Query, APrefixStandsForItsKeyAndItsNormalFormUnlessTooShort) {
  const QueryCase cases[] = {
      {"knjig", false, {"knjig*"}},
      {"knjiga", false, {"knjig*"}},              // its key, as a whole word's: finds "knjiga"
      {"КЊИГ", false, {"knjig*"}},
      {"kupus", false, {"kupuh*", "|kupus*"}},     // the key is no start of it: "kupusište" too
      {"knjiž", false, {"knjig*", "|knjiž*"}},
      {"ku", false, {"ku*"}},                     // too short to stem: not every "k..." word
      {"ča", false, {"ča*"}},                     // two letters, though three bytes
      {"su", true, {"su*"}},                      // a start is never a stop word
      {"crvene knjig", true, {"crven", "knjig*"}},  // the words before it are whole words
      {"su knjig", true, {"knjig*"}},             // ...and may be stop words
      {"!?", false, {}},
  };
  for (const QueryCase& c : cases) {
    Analyzer analyzer(AnalyzerOptions{c.stop_words ? StopWords::serbian() : StopWords()});
    Strings terms;
    analyzer.prefix_query(c.query, [&](const QueryTerm& term) {
      terms.push_back((term.alternative ? "|" : "") + std::string(term.key) + (term.prefix ? "*" : ""));
    });
    EXPECT_EQ(terms, c.terms) << c.query;
  }
}

// Every key mode meets equivalent spellings: canonical and compatibility
// equivalents, and for lemmas the accent marks of dictionaries too.
TEST(Analyzer, EachModeGivesEquivalentSpellingsOneKey) {
  const std::vector<std::vector<std::string_view>> spellings = {
      {"šuma", "s\u030Cuma", "ŠUMA"},
      {"ljubav", "\u01C9ubav", "Љубав"},
      {"film", "\uFB01lm", "ｆｉｌｍ"},
      // Letters among those a text's scan passes fast that NFKC changes.
      {"kija", "k\u0133a"},
      {"sunce", "\u017Funce"},
  };
  for (const bool lemmas : {false, true}) {
    for (const bool fold : {false, true}) {
      Analyzer analyzer(AnalyzerOptions{{}, lemmas, fold});
      for (const auto& group : spellings) {
        const std::string first(analyzer.key(group.front()));
        for (const std::string_view other : group) {
          EXPECT_EQ(analyzer.key(other), first) << other;
          // In running text, with room after it for the scan's widest step.
          std::vector<std::string> in_text;
          analyzer.analyze(std::string(other) + " i tako dalje, i tako dalje", [&](const Term& term) {
            if (in_text.empty()) in_text.emplace_back(term.key);
          });
          EXPECT_EQ(in_text, std::vector<std::string>{first}) << other;
        }
      }
    }
  }
  Analyzer lemmas(AnalyzerOptions{{}, true, false});
  EXPECT_EQ(lemmas.key("rȅka"), lemmas.key("reka"));
}

// (options, words that must share one key, a word that must not)
struct OptionCase {
  AnalyzerOptions options;
  std::vector<std::string_view> same;
  std::string_view other;
};

TEST(Analyzer, LemmasAndFoldingJoinTheFormsOfAWord) {
  if (!lexicon_available()) GTEST_SKIP() << "built without the lexicon";
  const OptionCase cases[] = {
      {{{}, true, false}, {"reka", "rijekama", "РЕКЕ", "rijeci"}, "rek"},
      {{{}, true, false}, {"ulica", "ulice", "ulicama"}, "ul"},
      {{{}, true, true}, {"šišanje", "sisanje", "ŠIŠANJA"}, "sisati"},
      {{{}, true, true}, {"đak", "djak", "ђаци"}, "dak"},
      {{{}, false, true}, {"kuća", "kuca", "КУЋА"}, "kuka"},
  };
  for (const OptionCase& c : cases) {
    Analyzer analyzer(c.options);
    const std::string key(analyzer.key(c.same.front()));
    EXPECT_FALSE(key.empty());
    for (const std::string_view word : c.same) EXPECT_EQ(analyzer.key(word), key) << word;
    EXPECT_NE(analyzer.key(c.other), key) << c.other;
  }
}

// A text keys its lemmas in batches; each must be the key of its token
// alone, in the token's place, a token long enough to go alone included.
TEST(Analyzer, ATextsLemmaKeysAreItsTokensKeys) {
  if (!lexicon_available()) GTEST_SKIP() << "built without the lexicon";
  std::string text;
  for (int round = 0; round < 5; ++round)
    text += "Ђаци su čitali o rijekama i đacima, o rekama; nepoznatijima, kuce KUĆE najlepših 2024 !? ";
  text += std::string(std::size_t{1} << 20, 'a') + " knjiga ljubav";
  for (const bool fold : {false, true}) {
    Analyzer analyzer(AnalyzerOptions{StopWords::serbian(), true, fold});
    Strings keys, expected;
    analyzer.analyze(text, [&](const Term& term) { keys.emplace_back(term.key); });
    ardovel::analysis::for_each_token(text, [&](const Token& token) {
      if (const std::string_view key = analyzer.key(token.text); !key.empty()) expected.emplace_back(key);
    });
    EXPECT_EQ(keys, expected) << fold;
  }
}

TEST(Analyzer, FoldedKeysStopTheBaldFormsOfTheStopWords) {
  Analyzer analyzer(AnalyzerOptions{StopWords::serbian(), false, true});
  for (const char* word : {"što", "sto", "ŠTO", "već", "vec", "kroz"}) EXPECT_EQ(analyzer.key(word), "") << word;
  EXPECT_EQ(analyzer.key("knjiga"), "knjig");
}

TEST(Query, APatternsWildcardsStandInForLettersWhileItsKeyIsMade) {
  const std::pair<const char*, Strings> cases[] = {
      {"kupus*", {"kupuh*", "kupus*"}}, {"k?pus", {"k?puh", "k?pus"}}, {"ku*", {"ku*"}},
      {"Knjigama", {"knjig"}},          {"*", {}},                      {"k*a", {"k*a"}},
  };
  Analyzer analyzer;
  for (const auto& [pattern, expected] : cases) {
    Strings terms;
    analyzer.pattern_terms(pattern, [&](std::string_view term) { terms.emplace_back(term); });
    EXPECT_EQ(terms, expected) << pattern;
  }
}

// Latin capitals of the list's letters, and the Latin-to-Cyrillic mapping
// for spelling a Latin entry in Cyrillic.
std::string upper_latin(std::string_view word) {
  static const std::map<std::string, std::string> upper = {{"č", "Č"}, {"ć", "Ć"}, {"š", "Š"}, {"ž", "Ž"}, {"đ", "Đ"}};
  std::string out;
  for (std::size_t at = 0; at < word.size();) {
    const std::size_t length = utf8::decode_length(static_cast<unsigned char>(word[at]));
    const std::string letter(word.substr(at, length));
    out += length == 1 ? std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])))) : upper.at(letter);
    at += length;
  }
  return out;
}

std::string cyrillic(std::string_view word, bool capitals) {
  static const std::map<std::string, Character> letters = {
      {"a", 0x430}, {"b", 0x431}, {"v", 0x432}, {"g", 0x433}, {"d", 0x434}, {"đ", 0x452}, {"e", 0x435},
      {"ž", 0x436}, {"z", 0x437}, {"i", 0x438}, {"j", 0x458}, {"k", 0x43A}, {"l", 0x43B}, {"lj", 0x459},
      {"m", 0x43C}, {"n", 0x43D}, {"nj", 0x45A}, {"o", 0x43E}, {"p", 0x43F}, {"r", 0x440}, {"s", 0x441},
      {"t", 0x442}, {"ć", 0x45B}, {"u", 0x443}, {"f", 0x444}, {"h", 0x445}, {"c", 0x446}, {"č", 0x447},
      {"dž", 0x45F}, {"š", 0x448}};
  std::string out;
  for (std::size_t at = 0; at < word.size();) {
    std::size_t length = utf8::decode_length(static_cast<unsigned char>(word[at]));
    for (const std::size_t digraph : {3UL, 2UL}) {  // "dž" is three bytes, "lj" and "nj" two
      const std::string_view candidate = word.substr(at, digraph);
      if (candidate.size() == digraph && (candidate == "dž" || candidate == "lj" || candidate == "nj")) {
        length = digraph;
        break;
      }
    }
    Character c = letters.at(std::string(word.substr(at, length)));
    if (capitals) c -= c >= 0x450 ? 0x50 : 0x20;
    out += encode(c);
    at += length;
  }
  return out;
}

Strings default_list_file() {
  std::ifstream in(ARDOVEL_SOURCE_ROOT "/src/analysis/serbian_stopwords.txt");
  EXPECT_TRUE(in);
  Strings words;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') words.push_back(line);
  }
  return words;
}

TEST(StopWords, StopEveryScriptAndCaseOfAnEntryAndNothingElse) {
  Analyzer analyzer(AnalyzerOptions{StopWords::serbian()});
  for (const char* word : {"su", "SU", "Su", "СУ", "Су", "су", "s\u00ADu", "prije", "ПРИЈЕ", "Између", "NIJE", "ne"}) {
    EXPECT_TRUE(analyzer.is_stop_word(word)) << word;
    EXPECT_EQ(analyzer.key(word), "") << word;
  }
  for (const char* word : {"sunce", "knjiga", "dan", "s u"}) EXPECT_FALSE(analyzer.is_stop_word(word)) << word;
  EXPECT_EQ(analyzer.key("knjiga"), "knjig");
  const std::vector<std::pair<std::string, std::string>> expected = {{"Деца", "dec"}, {"parku", "park"}};
  EXPECT_EQ(analyse(analyzer, "Деца СУ се u parku, а Ja I ТИ."), expected);
  // Off by default.
  Analyzer plain;
  EXPECT_FALSE(plain.is_stop_word("su"));
  EXPECT_EQ(plain.key("su"), "s");
}

TEST(StopWords, SetsFromWordsKeepDistinctNonEmptyNormalisedForms) {
  const std::string_view words[] = {"Књига", "KNJIGA", "!!!", "", "dijete", "dete", "ulica"};
  const StopWords set = StopWords::from_words(words);
  EXPECT_EQ(set.size(), 3U);
  EXPECT_EQ(set.longest(), 6U);
  Analyzer analyzer(AnalyzerOptions{set});
  for (const char* word : {"knjiga", "КЊИГА", "dete", "ДИЈЕТЕ", "Ulica"}) EXPECT_TRUE(analyzer.is_stop_word(word)) << word;
  for (const char* word : {"knjige", "!!!", "", "ulice"}) EXPECT_FALSE(analyzer.is_stop_word(word)) << word;
  EXPECT_TRUE(StopWords::from_words({}).empty());
  const StopWords copy = set;  // copies share the table
  EXPECT_TRUE(copy.contains_normalised("ulica"));
}

TEST(StopWords, DefaultListIsTheDataFileAndEachEntryIsOneTokenStoppedInBothScriptsAndAnyCase) {
  const Strings file = default_list_file();
  const auto compiled = StopWords::serbian_words();
  ASSERT_EQ(Strings(compiled.begin(), compiled.end()), file);
  ASSERT_GT(file.size(), 100U);
  Analyzer analyzer(AnalyzerOptions{StopWords::serbian()});
  Text form;
  std::string text = sample_text();
  for (const std::string& word : file) {
    EXPECT_EQ(tokens_of(word), Strings{word});
    EXPECT_FALSE(normalise_word(word, form).empty()) << word;
    for (const std::string& spelling : {word, upper_latin(word), cyrillic(word, false), cyrillic(word, true)}) {
      EXPECT_TRUE(analyzer.is_stop_word(spelling)) << spelling;
      text += " " + spelling + " naj" + spelling + " " + spelling + "ima";
    }
  }
  // The whole text against the rule itself: every token's normalised form
  // looked up, whatever its stem.
  std::vector<std::pair<std::string, std::string>> expected;
  for (auto& [token, stem] : expected_terms(text)) {
    if (!analyzer.is_stop_word(token)) expected.emplace_back(std::move(token), std::move(stem));
  }
  EXPECT_EQ(analyse(analyzer, text), expected);
}

// Each entry, in Latin and spelled in Cyrillic, is a word the Serbian
// hunspell dictionaries accept: `hunspell -l` lists none of them.
TEST(StopWords, HunspellAcceptsEveryEntryInBothScripts) {
  const std::string dir = ARDOVEL_HUNSPELL_DIR;
  if (std::system("command -v hunspell >/dev/null 2>&1") != 0 || !std::ifstream(dir + "/sr_Latn_RS.dic") ||
      !std::ifstream(dir + "/sr_RS.dic")) {
    GTEST_SKIP() << "hunspell or hunspell-sr is not installed";
  }
  struct Spelling {
    const char* dictionary;
    std::string (*spell)(std::string_view);
  };
  const Spelling spellings[] = {{"sr_Latn_RS", [](std::string_view w) { return std::string(w); }},
                                {"sr_RS", [](std::string_view w) { return cyrillic(w, false); }}};
  const Strings words = default_list_file();
  for (const auto& [dictionary, spell] : spellings) {
    char path[] = "/tmp/ardovel-stopwords-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    {
      std::ofstream out(path);
      for (const std::string& word : words) out << spell(word) << "\n";
    }
    const std::string command = "hunspell -d " + dir + "/" + dictionary + " -l < " + path;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string rejected;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) rejected += buffer;
    const int status = pclose(pipe);
    close(fd);
    std::remove(path);
    EXPECT_EQ(status, 0) << dictionary;
    EXPECT_EQ(rejected, "") << dictionary << " rejects these entries";
  }
}

}  // namespace
}  // namespace analysis
}  // namespace ardovel
