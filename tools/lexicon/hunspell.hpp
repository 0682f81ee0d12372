// Reads hunspell-sr's Latin dictionary and expands it into (form, key)
// readings, then chooses one key per form. Shared by the generator, which
// turns the choice into the lexicon's constant data, and by the tests, which
// check that data against a fresh expansion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace ardovel::lexicon_tool {

struct AffixRule {
  std::string strip;  // "" for hunspell's "0"
  std::string add;
  std::string condition;  // "." when the .aff gives none
};

struct AffixGroup {
  bool prefix = false;
  bool cross_product = false;
  std::vector<AffixRule> rules;
  // Whether the group makes forms of the entry itself (it holds the rule
  // that gives the entry back) or new words derived from it.
  bool inflects = true;
  // For a deriving group: per rule, the rule that gives the derived word's
  // own base form.
  std::vector<std::size_t> base_rule;
  // A deriving group whose words are the entry's degrees of comparison: the
  // treebank-style lemma of "mlađi" is "mlad", so these count as forms.
  bool compares = false;
};

struct DicEntry {
  std::string word;
  std::vector<int> flags;
};

struct Dictionary {
  std::map<int, AffixGroup> groups;
  std::vector<DicEntry> entries;
};

// Throws std::runtime_error with the file and line on a malformed input.
Dictionary read_dictionary(const std::string& dic_path, const std::string& aff_path);

// One way the dictionary spells a form: the normalised form (lower case,
// Latin, "ije" kept), the key it would give (the normalised lemma in
// ekavian spelling) and what the choice among readings weighs.
struct Reading {
  std::string form;
  std::string key;
  std::uint32_t entry;   // index into Dictionary::entries
  bool derived;          // made by a deriving suffix group or a prefix
  bool lemma_itself;     // the form is the lemma as the entry spells it ("dio", keyed "deo")
  bool infinitive = false;  // the key is a verb's ("-ti", "-ći"), judged before folding makes "-ći" "-ci"
  bool folded = false;      // the form is a spelling with diacritics, folded bald
};

struct ExpandOptions {
  // Entries whose normalised lemma is in this set are left out (held-out
  // paradigms); empty for the product.
  const std::vector<std::string>* held_out_lemmas = nullptr;
};

// Every reading of every entry, in dictionary order.
std::vector<Reading> expand(const Dictionary& dictionary, const ExpandOptions& options = {});

// The normalised lemma of an entry (its word without the homonym marks).
std::string entry_lemma(const Dictionary& dictionary, std::uint32_t entry);

// form -> chosen key, sorted by form (bytewise).
struct Choice {
  std::string form;
  std::string key;
};
std::vector<Choice> choose_keys(const Dictionary& dictionary, std::vector<Reading> readings,
                                const std::unordered_map<std::string, std::uint64_t>& counts);

// Normalised form -> count, from tools/lexicon/serbian_form_counts.tsv (none
// when `path` is empty).
std::unordered_map<std::string, std::uint64_t> read_counts(const std::string& path);

// Bald Latin: č ć -> c, š -> s, ž -> z, đ -> dj.
std::string fold(const std::string& text);

// The same table folded: form and key folded, the choice made again among
// the readings that meet.
std::vector<Choice> choose_folded_keys(const Dictionary& dictionary, const std::vector<Reading>& readings,
                                       const std::unordered_map<std::string, std::uint64_t>& counts);

std::string normalise_keeping_ije(const std::string& word);

}  // namespace ardovel::lexicon_tool
