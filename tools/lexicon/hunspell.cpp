#include "hunspell.hpp"

#include <algorithm>
#include <fstream>
#include <span>
#include <type_traits>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "stemmer/normalise.hpp"

namespace ardovel::lexicon_tool {
namespace {

std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; in >> field;) fields.push_back(field);
  return fields;
}

std::string chomp(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return line;
}

[[noreturn]] void fail(const std::string& path, std::size_t line, const std::string& what) {
  throw std::runtime_error(path + ":" + std::to_string(line) + ": " + what);
}

std::vector<int> parse_flags(const std::string& text, const std::string& path, std::size_t line) {
  std::vector<int> flags;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t comma = text.find(',', at);
    const std::string one = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (one.empty() || one.find_first_not_of("0123456789") != std::string::npos) fail(path, line, "bad flag");
    flags.push_back(std::stoi(one));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return flags;
}

// One UTF-8 character's bytes starting at `at`.
std::size_t char_size(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

std::vector<std::string> characters(std::string_view text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t size = char_size(static_cast<unsigned char>(text[at]));
    out.emplace_back(text.substr(at, size));
    at += size;
  }
  return out;
}

// hunspell's conditions: "." for any character, [set] and [^set], or the
// character itself, matched against the word's last (suffix) or first
// (prefix) characters.
bool condition_holds(const std::string& condition, std::string_view word, bool prefix) {
  if (condition == ".") return true;
  std::vector<std::string> pattern;  // one element per character position
  for (std::size_t at = 0; at < condition.size();) {
    if (condition[at] == '[') {
      const std::size_t close = condition.find(']', at);
      if (close == std::string::npos) return false;
      pattern.push_back(condition.substr(at, close - at + 1));
      at = close + 1;
    } else {
      const std::size_t size = char_size(static_cast<unsigned char>(condition[at]));
      pattern.push_back(condition.substr(at, size));
      at += size;
    }
  }
  const std::vector<std::string> letters = characters(word);
  if (letters.size() < pattern.size()) return false;
  const std::size_t first = prefix ? 0 : letters.size() - pattern.size();
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    const std::string& p = pattern[k];
    const std::string& c = letters[first + k];
    if (p == ".") continue;
    if (p[0] == '[') {
      const bool negated = p.size() > 1 && p[1] == '^';
      const std::string set = p.substr(negated ? 2 : 1, p.size() - (negated ? 3 : 2));
      bool found = false;
      for (const std::string& member : characters(set)) found = found || member == c;
      if (found == negated) return false;
    } else if (p != c) {
      return false;
    }
  }
  return true;
}

std::size_t common_prefix(std::string_view a, std::string_view b) {
  std::size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  return n;
}

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Reads what a suffix group does. A group that holds the rule giving the
// entry back (strip equals add) inflects it. Any other group derives new
// words, and its rules fall into runs, one per derived word, each led by
// the derived word's base form: "Srbija" gives Srbin, Srbina, ... Srbe, then
// Srpkinja, ... A rule starts a new run when its ending shares less than
// all but two bytes with the run's first rule's (an inflection changes only
// the last few letters of the derived word). A deriving group whose words
// are soft definite adjectives of the entry ("mlad" -> "mlađi", "mlađeg")
// makes its comparative, which counts as a form of the entry.
void classify(AffixGroup& group) {
  group.inflects = group.prefix || std::any_of(group.rules.begin(), group.rules.end(),
                                               [](const AffixRule& rule) { return rule.strip == rule.add; });
  group.base_rule.assign(group.rules.size(), 0);
  if (group.inflects || group.rules.empty()) return;
  std::size_t lead = 0;
  for (std::size_t k = 0; k < group.rules.size(); ++k) {
    const std::string& first = group.rules[lead].add;
    const std::string& add = group.rules[k].add;
    const std::size_t needed = first.size() > 2 ? first.size() - 2 : 1;
    if (k > 0 && common_prefix(first, add) < needed) lead = k;
    group.base_rule[k] = lead;
  }
  const std::string& first = group.rules.front().add;
  if (ends_with(first, "i") && !ends_with(first, "ski") && !ends_with(first, "ški") && !ends_with(first, "čki") &&
      !ends_with(first, "ćki")) {
    const std::string soft = first.substr(0, first.size() - 1) + "eg";
    group.compares = std::any_of(group.rules.begin(), group.rules.end(),
                                 [&](const AffixRule& rule) { return rule.add == soft; });
  }
}

std::string apply_suffix(const std::string& word, const AffixRule& rule) {
  return word.substr(0, word.size() - rule.strip.size()) + rule.add;
}

bool suffix_applies(const std::string& word, const AffixRule& rule) {
  return word.size() > rule.strip.size() && ends_with(word, rule.strip) && condition_holds(rule.condition, word, false);
}

bool prefix_applies(const std::string& word, const AffixRule& rule) {
  return word.size() > rule.strip.size() && word.compare(0, rule.strip.size(), rule.strip) == 0 &&
         condition_holds(rule.condition, word, true);
}

std::string apply_prefix(const std::string& word, const AffixRule& rule) {
  return rule.add + word.substr(rule.strip.size());
}

// Where an ijekavian reflex may stand: every "ije", and every "je" not at
// the word's start and not the end of an "ije". Positions of the 'i' (long)
// or 'j' (short).
struct Reflex {
  std::size_t at;
  bool long_reflex;
};

std::vector<Reflex> reflexes(const std::string& word) {
  std::vector<Reflex> out;
  for (std::size_t k = 1; k + 1 < word.size(); ++k) {
    if (word[k] != 'j' || word[k + 1] != 'e') continue;
    if (word[k - 1] == 'i' && k >= 2) {
      out.push_back({k - 1, true});
    } else if (word[k - 1] != 'i') {
      out.push_back({k, false});
    }
  }
  return out;
}

std::string reduce(const std::string& word, const std::vector<Reflex>& found, unsigned mask) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t k = 0; k < found.size(); ++k) {
    if ((mask & (1U << k)) == 0) continue;
    out.append(word, from, found[k].at - from);
    from = found[k].at + (found[k].long_reflex ? 2 : 1);  // drop "ij" or "j"; the 'e' stays
  }
  out.append(word, from, std::string::npos);
  return out;
}

// The ekavian lemma of an ijekavian one: the reading of its reflexes that is
// itself a lemma of the dictionary, trying the readings that reduce more
// reflexes first. A lemma with no such reading stays as it is (ekavian
// already, or a word whose ijekavian twin the dictionary lacks).
std::string ekavian(const std::string& lemma, const std::unordered_set<std::string>& lemmas) {
  const std::vector<Reflex> found = reflexes(lemma);
  if (found.empty() || found.size() > 6) return lemma;
  std::vector<unsigned> masks;
  for (unsigned mask = 1; mask < (1U << found.size()); ++mask) masks.push_back(mask);
  std::stable_sort(masks.begin(), masks.end(),
                   [](unsigned a, unsigned b) { return __builtin_popcount(a) > __builtin_popcount(b); });
  for (const unsigned mask : masks) {
    std::string candidate = reduce(lemma, found, mask);
    if (lemmas.count(candidate) != 0) return candidate;
  }
  return lemma;
}

}  // namespace

std::string normalise_keeping_ije(const std::string& word) {
  std::string out(normalised_capacity(word.size()), '\0');
  out.resize(normalise_keeping_ije_into(word, out.data()));
  return out;
}

std::string fold(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::string_view rest(text.data() + at, text.size() - at);
    if (rest.starts_with("č") || rest.starts_with("ć")) {
      out += 'c';
    } else if (rest.starts_with("š")) {
      out += 's';
    } else if (rest.starts_with("ž")) {
      out += 'z';
    } else if (rest.starts_with("đ")) {
      out += "dj";
    } else {
      out += text[at];
      ++at;
      continue;
    }
    at += 2;
  }
  return out;
}

Dictionary read_dictionary(const std::string& dic_path, const std::string& aff_path) {
  Dictionary dictionary;
  std::ifstream aff(aff_path);
  if (!aff) throw std::runtime_error("cannot read " + aff_path);
  std::map<int, std::size_t> expected;
  std::size_t number = 0;
  for (std::string line; std::getline(aff, line);) {
    ++number;
    const std::vector<std::string> fields = split_fields(chomp(line));
    if (fields.empty()) continue;
    if (fields[0] == "SET" && fields.size() > 1 && fields[1] != "UTF-8") fail(aff_path, number, "not UTF-8");
    if (fields[0] == "FLAG" && fields.size() > 1 && fields[1] != "num") fail(aff_path, number, "flags not numeric");
    if (fields[0] != "SFX" && fields[0] != "PFX") continue;
    if (fields.size() < 4) fail(aff_path, number, "short affix line");
    const int flag = std::stoi(fields[1]);
    const bool prefix = fields[0] == "PFX";
    auto found = dictionary.groups.find(flag);
    if (found == dictionary.groups.end()) {
      AffixGroup group;
      group.prefix = prefix;
      group.cross_product = fields[2] == "Y";
      dictionary.groups.emplace(flag, std::move(group));
      expected[flag] = static_cast<std::size_t>(std::stoul(fields[3]));
      continue;
    }
    if (found->second.prefix != prefix) fail(aff_path, number, "flag used by both SFX and PFX");
    AffixRule rule;
    rule.strip = fields[2] == "0" ? "" : fields[2];
    std::string add = fields[3];
    if (add.find('/') != std::string::npos) fail(aff_path, number, "continuation flags are not supported");
    rule.add = add == "0" ? "" : add;
    rule.condition = fields.size() > 4 ? fields[4] : ".";
    found->second.rules.push_back(std::move(rule));
  }
  for (auto& [flag, group] : dictionary.groups) {
    if (group.rules.size() != expected[flag])
      throw std::runtime_error(aff_path + ": group " + std::to_string(flag) + " has the wrong rule count");
    classify(group);
  }

  std::ifstream dic(dic_path);
  if (!dic) throw std::runtime_error("cannot read " + dic_path);
  number = 0;
  for (std::string line; std::getline(dic, line);) {
    ++number;
    line = chomp(line);
    if (number == 1 || line.empty()) continue;  // the entry count
    DicEntry entry;
    const std::size_t slash = line.find('/');
    entry.word = line.substr(0, slash);
    if (slash != std::string::npos) entry.flags = parse_flags(line.substr(slash + 1), dic_path, number);
    for (const int flag : entry.flags)
      if (dictionary.groups.count(flag) == 0) fail(dic_path, number, "unknown flag " + std::to_string(flag));
    dictionary.entries.push_back(std::move(entry));
  }
  return dictionary;
}

std::string entry_lemma(const Dictionary& dictionary, std::uint32_t entry) {
  return normalise_keeping_ije(dictionary.entries[entry].word);
}

namespace {

// A passive participle's ending and the infinitive endings it may come
// from, tried in this order: the longer endings first, which undo the
// consonant changes the participle made ("objavljen" from "objaviti",
// "obuhvaćen" from "obuhvatiti", "rečen" from "reći").
constexpr struct {
  std::string_view participle;
  std::string_view infinitives[3];
} participle_endings[] = {
    {"šnjen", {"sniti"}},
    {"šćen", {"stiti", "šćiti"}},
    {"žđen", {"zditi"}},
    {"pljen", {"piti"}},
    {"bljen", {"biti"}},
    {"mljen", {"miti"}},
    {"vljen", {"viti"}},
    {"fljen", {"fiti"}},
    {"njen", {"niti", "njiti"}},
    {"ljen", {"liti", "ljiti", "leti"}},
    {"ijen", {"iti"}},
    {"ćen", {"titi", "ćiti", "ćeti"}},
    {"đen", {"diti", "điti", "deti"}},
    {"čen", {"ći", "čiti", "kiti"}},
    {"šen", {"siti", "šiti", "ći"}},
    {"žen", {"ziti", "žiti", "ći"}},
    {"den", {"sti"}},
    {"ten", {"sti"}},
    {"sen", {"sti", "ti"}},
    {"ven", {"ti"}},
    {"en", {"iti", "eti"}},
    {"an", {"ati"}},
    {"t", {"ti"}},
};

// The verb whose passive participle an adjective entry is ("završen" of
// "završiti"), or "". The treebank-style lemma of a passive participle is
// its verb, and a search for the verb should find it. An adjective is one
// whose paradigm holds the lemma + "a" and + "og"; that also leaves out the
// adjectives whose "a" comes and goes ("brojan", "brojna"), which look like
// participles of "-ati" verbs ("brojati") but are not.
std::string participle_verb(const std::string& lemma, const std::unordered_set<std::string>& forms,
                            const std::unordered_set<std::string>& verbs) {
  if (forms.count(lemma + "a") == 0 || forms.count(lemma + "og") == 0) return {};
  for (const auto& ending : participle_endings) {
    if (!ends_with(lemma, ending.participle) || lemma.size() < ending.participle.size() + 2) continue;
    const std::string stem = lemma.substr(0, lemma.size() - ending.participle.size());
    for (const std::string_view infinitive : ending.infinitives) {
      if (infinitive.empty()) break;
      std::string verb = stem + std::string(infinitive);
      if (verbs.count(verb) != 0) return verb;
    }
  }
  return {};
}

bool is_infinitive(std::string_view word) { return ends_with(word, "ti") || ends_with(word, "ći"); }

}  // namespace

std::vector<Reading> expand(const Dictionary& dictionary, const ExpandOptions& options) {
  std::unordered_set<std::string> held_out;
  if (options.held_out_lemmas != nullptr)
    held_out.insert(options.held_out_lemmas->begin(), options.held_out_lemmas->end());

  std::vector<Reading> readings;
  std::unordered_set<std::string> lemmas;
  std::unordered_set<std::string> verbs;
  std::unordered_map<std::string, std::string> participle_of;  // adjective lemma -> verb
  for (const DicEntry& entry : dictionary.entries) {
    std::string lemma = normalise_keeping_ije(entry.word);
    if (is_infinitive(lemma) && held_out.count(lemma) == 0) verbs.insert(std::move(lemma));
  }
  for (std::uint32_t index = 0; index < dictionary.entries.size(); ++index) {
    const DicEntry& entry = dictionary.entries[index];
    const std::string lemma = normalise_keeping_ije(entry.word);
    if (lemma.empty() || held_out.count(lemma) != 0) continue;
    lemmas.insert(lemma);

    // The entry and its suffixed forms, each with the raw lemma it keys to.
    struct Made {
      std::string word;
      std::string lemma;
      bool derived;
    };
    std::vector<Made> made{{entry.word, entry.word, false}};
    for (const int flag : entry.flags) {
      const AffixGroup& group = dictionary.groups.at(flag);
      if (group.prefix) continue;
      for (std::size_t k = 0; k < group.rules.size(); ++k) {
        const AffixRule& rule = group.rules[k];
        if (!suffix_applies(entry.word, rule)) continue;
        if (group.inflects || group.compares) {
          made.push_back({apply_suffix(entry.word, rule), entry.word, false});
        } else {
          const std::string base = apply_suffix(entry.word, group.rules[group.base_rule[k]]);
          made.push_back({apply_suffix(entry.word, rule), base, true});
          lemmas.insert(normalise_keeping_ije(base));
        }
      }
    }
    // Prefixes: "ne" makes a new word (the treebank's "nepoznat" is its own
    // lemma); "naj" makes the superlative, a degree of the same adjective.
    std::vector<Made> prefixed;
    for (const int flag : entry.flags) {
      const AffixGroup& group = dictionary.groups.at(flag);
      if (!group.prefix) continue;
      for (const AffixRule& rule : group.rules) {
        const bool degree = rule.add == "naj";
        for (std::size_t k = 0; k < made.size(); ++k) {
          if (k > 0 && !group.cross_product) break;
          if (!prefix_applies(made[k].word, rule)) continue;
          const std::string word = apply_prefix(made[k].word, rule);
          if (degree) {
            prefixed.push_back({word, made[k].lemma, made[k].derived});
          } else {
            const std::string lemma_word = apply_prefix(made[k].lemma, rule);
            prefixed.push_back({word, lemma_word, true});
            lemmas.insert(normalise_keeping_ije(lemma_word));
          }
        }
      }
    }
    made.insert(made.end(), prefixed.begin(), prefixed.end());
    if ((lemma.back() == 'n' || lemma.back() == 't') && participle_of.count(lemma) == 0) {
      std::unordered_set<std::string> forms;
      for (const Made& m : made)
        if (!m.derived) forms.insert(normalise_keeping_ije(m.word));
      if (std::string verb = participle_verb(lemma, forms, verbs); !verb.empty())
        participle_of.emplace(lemma, std::move(verb));
    }
    for (const Made& m : made) {
      std::string form = normalise_keeping_ije(m.word);
      if (form.empty()) continue;
      std::string key = normalise_keeping_ije(m.lemma);
      const bool itself = form == key;
      readings.push_back({std::move(form), std::move(key), index, m.derived, itself});
    }
  }
  // A participle's forms key to its verb, whichever of the adjective's
  // entries made them (its declension and its comparison may be two).
  for (Reading& reading : readings) {
    if (reading.derived) continue;
    const auto verb = participle_of.find(reading.key);
    if (verb != participle_of.end()) reading.key = verb->second;
  }
  // Keys in ekavian spelling, so that ijekavian and ekavian text meet.
  std::unordered_map<std::string, std::string> ekavian_of;
  for (Reading& reading : readings) {
    auto found = ekavian_of.find(reading.key);
    if (found == ekavian_of.end()) found = ekavian_of.emplace(reading.key, ekavian(reading.key, lemmas)).first;
    reading.key = found->second;
  }
  // An ijekavian key with no ekavian lemma may still have an ekavian form:
  // then it keys as that form does, where all the form's readings agree
  // ("njemački" has no lemma "nemački", but "nemački" is a form of
  // "nemačka", so "Njemačkoj" meets "Nemačkoj"). The reflex must lie in the
  // part the form shares with its key: "pitanje" read as "pitane" is a form
  // of "pitati", but its "nje" was never a reflex, and the noun stays.
  struct EkavianForm {
    std::string form;
    std::size_t reflex_end;  // just past the last reduced reflex's 'e'
  };
  std::unordered_map<std::string, std::vector<EkavianForm>> tried;  // key -> its readings, most reduced first
  std::unordered_map<std::string, std::string> keys_of;           // such a reading -> its one key, or ""
  for (const auto& [key, spelled] : ekavian_of) {
    if (spelled != key) continue;
    const std::vector<Reflex> found = reflexes(key);
    if (found.empty() || found.size() > 6) continue;
    std::vector<unsigned> masks;
    for (unsigned mask = 1; mask < (1U << found.size()); ++mask) masks.push_back(mask);
    std::stable_sort(masks.begin(), masks.end(),
                     [](unsigned a, unsigned b) { return __builtin_popcount(a) > __builtin_popcount(b); });
    std::vector<EkavianForm>& readings_of_key = tried[key];
    for (const unsigned mask : masks) {
      const unsigned last = 31U - static_cast<unsigned>(__builtin_clz(mask));
      std::size_t dropped = 0;
      for (unsigned k = 0; k < last; ++k)
        if (mask & (1U << k)) dropped += found[k].long_reflex ? 2 : 1;
      readings_of_key.push_back({reduce(key, found, mask), found[last].at - dropped + 1});
      keys_of.emplace(readings_of_key.back().form, std::string());
    }
  }
  constexpr const char* disagree = "\x01";
  for (const Reading& reading : readings) {
    const auto found = keys_of.find(reading.form);
    if (found == keys_of.end() || found->second == disagree) continue;
    if (found->second.empty()) found->second = reading.key;
    else if (found->second != reading.key) found->second = disagree;
  }
  std::unordered_map<std::string, std::string> through_form;
  for (const auto& [key, candidates] : tried) {
    for (const EkavianForm& candidate : candidates) {
      const std::string& agreed = keys_of.at(candidate.form);
      if (agreed.empty() || agreed == disagree || agreed == key) continue;
      const auto shared = std::mismatch(agreed.begin(), agreed.end(), candidate.form.begin(), candidate.form.end());
      if (static_cast<std::size_t>(shared.first - agreed.begin()) < candidate.reflex_end) continue;
      through_form.emplace(key, agreed);
      break;
    }
  }
  for (Reading& reading : readings) {
    const auto found = through_form.find(reading.key);
    if (found != through_form.end()) reading.key = found->second;
    reading.infinitive = is_infinitive(reading.key);
  }
  return readings;
}

namespace {

// The choice among a form's keys, in the order the preferences are tried:
//  1. not a key whose paradigm another's holds whole: "nova" and its forms
//     are all forms of "nov", so "nov" keys them all (but "reka", a form of
//     "rek", has forms of its own and stays a word);
//  2. evidence: the key whose other forms (those with no second reading)
//     Serbian text in Debian packages uses at least twice as often as any
//     other key's, and at least min_evidence times (serbian_form_counts.tsv);
//  3. the key whose lemma the form is, from a lower-case entry: a lemma
//     should key to itself, or its forms miss its dictionary form ("reka"
//     is "reka", though "rek" has a form "reka"; "dio" is "deo", though
//     "djeti" has a form "dio"); against such a key, evidence must be five
//     times min_evidence and ten times its own;
//  4. a common word over a name: a key some lower-case entry gives over one
//     only capitalised entries give ("godine" is "godina", not "Godin");
//  5. a noun or adjective over a verb (an infinitive, "-ti", "-ći"): in
//     running text a form the two share is more often the noun or
//     adjective ("prošle" is "prošli", not "proći"; "lepe" is "lep", not
//     "lepiti"), and the verbs common enough to be the usual reading
//     ("mora", "može") have the evidence of 2;
//  6. a key some reading reaches by inflection over one reached only by
//     derivation;
//  7. bald, a key whose form is spelled so over one whose form only folds
//     to it: "pesama" is a form of "pesma" as written, and only folded one
//     of "peša";
//  8. the key more entries give this form (entries that agree; a paradigm
//     that makes one form twice, "sedniči" as imperative and aorist, is
//     still one entry);
//  9. the key whose entries have fewer affix groups, on the whole the more
//     frequent, plainer words;
// 10. the shorter key, then the first in byte order, so the choice is
//     always defined.
// The order was chosen by measuring on the development treebank: 2 ahead of
// 3 gives 0.5 points more lemma-match and 1.7 more pair-recall there.
struct Candidate {
  std::string_view key;  // into the readings
  bool inflected = false;
  bool common = false;
  std::size_t entries = 0;
  std::size_t fewest_flags = ~std::size_t{0};
  std::uint64_t evidence = 0;
  bool held_by_other = false;
  bool itself = false;  // some reading is the form of the lemma itself
  bool verb = false;    // an infinitive, reached by inflection
  bool as_written = false;  // some reading's form is spelled as it is, not folded
};

// Fewer than this many uses is chance in a corpus this small ("рек" is
// three cut-off words, not the noun).
constexpr std::uint64_t min_evidence = 10;

bool preferred(const Candidate& a, const Candidate& b) {
  if (a.held_by_other != b.held_by_other) return b.held_by_other;
  const bool a_itself = a.itself && a.common;
  const bool b_itself = b.itself && b.common;
  const auto outweighs = [](const Candidate& x, const Candidate& y, bool against_itself) {
    return against_itself ? x.evidence >= 5 * min_evidence && x.evidence >= 10 * y.evidence
                          : x.evidence >= min_evidence && x.evidence >= 2 * y.evidence;
  };
  if (outweighs(a, b, b_itself)) return true;
  if (outweighs(b, a, a_itself)) return false;
  if (a_itself != b_itself) return a_itself;
  if (a.common != b.common) return a.common;
  if (a.verb != b.verb) return b.verb;
  if (a.inflected != b.inflected) return a.inflected;
  if (a.as_written != b.as_written) return a.as_written;
  if (a.entries != b.entries) return a.entries > b.entries;
  if (a.fewest_flags != b.fewest_flags) return a.fewest_flags < b.fewest_flags;
  if (a.key.size() != b.key.size()) return a.key.size() < b.key.size();
  return a.key < b.key;
}

bool capitalised(const std::string& word) {
  if (word.empty()) return false;
  const std::size_t size = word[0] & 0x80 ? 2 : 1;
  const std::string first = word.substr(0, size);
  return normalise_keeping_ije(first) != first;
}

using Evidence = std::unordered_map<std::string, std::uint64_t>;

// Each form's range of readings, in form order (the readings sorted by form,
// then key, then entry). Sorted vectors and binary search: hash maps of
// millions of strings cost the build more time than the searches do.
struct Range {
  std::size_t begin, end;
  bool single;  // one key
};

std::vector<Range> sort_into_ranges(std::vector<Reading>& readings) {
  std::sort(readings.begin(), readings.end(), [](const Reading& a, const Reading& b) {
    if (a.form != b.form) return a.form < b.form;
    if (a.key != b.key) return a.key < b.key;
    return a.entry < b.entry;
  });
  std::vector<Range> ranges;
  for (std::size_t begin = 0; begin < readings.size();) {
    std::size_t end = begin;
    bool single = true;
    while (end < readings.size() && readings[end].form == readings[begin].form) {
      single = single && readings[end].key == readings[begin].key;
      ++end;
    }
    ranges.push_back({begin, end, single});
    begin = end;
  }
  return ranges;
}

const Range* range_of(const std::vector<Reading>& readings, const std::vector<Range>& ranges, std::string_view form) {
  const auto found = std::lower_bound(ranges.begin(), ranges.end(), form, [&](const Range& r, std::string_view f) {
    return std::string_view(readings[r.begin].form) < f;
  });
  return found != ranges.end() && readings[found->begin].form == form ? &*found : nullptr;
}

// The counted uses of each key's forms that have no second reading.
Evidence evidence_of(const std::vector<Reading>& readings, const std::vector<Range>& ranges,
                     const std::unordered_map<std::string, std::uint64_t>& counts) {
  Evidence evidence;
  for (const auto& [word, count] : counts) {
    const Range* found = range_of(readings, ranges, word);
    if (found != nullptr && found->single) evidence[readings[found->begin].key] += count;
  }
  return evidence;
}

std::vector<Choice> choose(const Dictionary& dictionary, const std::vector<Reading>& readings,
                           const std::vector<Range>& ranges, const Evidence& evidence) {
  const auto is_form_of = [&](std::string_view form, std::string_view key) {
    const Range* found = range_of(readings, ranges, form);
    if (found == nullptr) return false;
    for (std::size_t k = found->begin; k < found->end; ++k)
      if (readings[k].key == key) return true;
    return false;
  };
  std::vector<std::size_t> by_key(readings.size());
  for (std::size_t k = 0; k < by_key.size(); ++k) by_key[k] = k;
  std::sort(by_key.begin(), by_key.end(), [&](std::size_t a, std::size_t b) { return readings[a].key < readings[b].key; });
  const auto readings_of_key = [&](std::string_view key) {
    const auto [first, last] = std::equal_range(by_key.begin(), by_key.end(), key, [&](const auto& a, const auto& b) {
      if constexpr (std::is_same_v<std::decay_t<decltype(a)>, std::size_t>) {
        return std::string_view(readings[a].key) < b;
      } else {
        return a < std::string_view(readings[b].key);
      }
    });
    return std::span<const std::size_t>(&*first, static_cast<std::size_t>(last - first));
  };
  // The same pairs of keys meet at every form they share: each is asked once.
  std::map<std::pair<std::string_view, std::string_view>, bool> held;
  const auto holds_paradigm = [&](std::string_view key, std::string_view other) {
    const auto [found, fresh] = held.try_emplace({key, other}, true);
    if (fresh) {
      for (const std::size_t k : readings_of_key(other)) {
        if (!is_form_of(readings[k].form, key)) {
          found->second = false;
          break;
        }
      }
    }
    return found->second;
  };

  std::vector<Choice> out;
  out.reserve(ranges.size());
  for (const Range& range : ranges) {
    const std::string& form = readings[range.begin].form;
    if (range.single) {
      out.push_back({form, readings[range.begin].key});
      continue;
    }
    std::vector<Candidate> candidates;
    for (std::size_t k = range.begin; k < range.end; ++k) {
      const Reading& r = readings[k];
      const bool fresh = candidates.empty() || candidates.back().key != r.key;
      if (fresh) candidates.push_back({r.key});
      Candidate& c = candidates.back();
      if (fresh || readings[k - 1].entry != r.entry) ++c.entries;
      c.inflected = c.inflected || !r.derived;
      c.verb = c.verb || (!r.derived && r.infinitive);
      c.itself = c.itself || r.lemma_itself;
      c.as_written = c.as_written || !r.folded;
      c.common = c.common || !capitalised(dictionary.entries[r.entry].word);
      c.fewest_flags = std::min(c.fewest_flags, dictionary.entries[r.entry].flags.size());
    }
    for (Candidate& c : candidates) {
      const auto found = evidence.find(std::string(c.key));
      c.evidence = found == evidence.end() ? 0 : found->second;
      for (const Candidate& other : candidates)
        if (&other != &c && holds_paradigm(other.key, c.key) && !holds_paradigm(c.key, other.key))
          c.held_by_other = true;
    }
    const Candidate* best = &candidates.front();
    for (const Candidate& c : candidates)
      if (preferred(c, *best)) best = &c;
    out.push_back({form, std::string(best->key)});
  }
  return out;
}

}  // namespace

std::unordered_map<std::string, std::uint64_t> read_counts(const std::string& path) {
  std::unordered_map<std::string, std::uint64_t> counts;
  if (path.empty()) return counts;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) throw std::runtime_error(path + ": a line without a tab");
    counts[normalise_keeping_ije(line.substr(tab + 1))] += std::stoull(line.substr(0, tab));
  }
  return counts;
}

std::vector<Choice> choose_keys(const Dictionary& dictionary, std::vector<Reading> readings,
                                const std::unordered_map<std::string, std::uint64_t>& counts) {
  const std::vector<Range> ranges = sort_into_ranges(readings);
  return choose(dictionary, readings, ranges, evidence_of(readings, ranges, counts));
}

// The evidence is weighed on the marked spellings, as the counted text was
// written: bald, "kuća" and "kucati" share most forms, and the house would
// lose its evidence to the knocking.
std::vector<Choice> choose_folded_keys(const Dictionary& dictionary, const std::vector<Reading>& readings,
                                       const std::unordered_map<std::string, std::uint64_t>& counts) {
  std::vector<Reading> marked = readings;
  const std::vector<Range> marked_ranges = sort_into_ranges(marked);
  Evidence evidence;
  for (const auto& [key, count] : evidence_of(marked, marked_ranges, counts)) evidence[fold(key)] += count;
  std::vector<Reading> folded;
  folded.reserve(readings.size());
  for (const Reading& r : readings) {
    std::string form = fold(r.form);
    const bool marked = form != r.form;
    folded.push_back({std::move(form), fold(r.key), r.entry, r.derived, r.lemma_itself, r.infinitive, marked});
  }
  const std::vector<Range> ranges = sort_into_ranges(folded);
  return choose(dictionary, folded, ranges, evidence);
}

}  // namespace ardovel::lexicon_tool
