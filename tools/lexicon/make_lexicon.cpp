// Expands hunspell-sr's Latin dictionary at build time into the lexicon
// file that the core maps (layout: src/lexicon/format.hpp).
//
//   make_lexicon DIC AFF VERSION OUT.bin [--counts COUNTS.tsv] [--hold-out SEED PERCENT HELD.tsv]
//                [--dump FORMS.tsv]
//
// --counts names the word counts (tools/lexicon/serbian_form_counts.tsv)
// that weigh the choice among a form's lemmas.
// --hold-out leaves a seeded random share of the entries' lemmas out of the
// lexicon and of the rule induction, and writes their forms with the keys the
// dictionary gives them ("form<TAB>key"), so that the rules for unknown words
// can be judged on paradigms they never saw. --dump writes the chosen key
// of every form ("form<TAB>key") for study.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "automaton.hpp"
#include "hunspell.hpp"
#include "lexicon/format.hpp"
#include "sha256.hpp"

namespace {

using namespace ardovel::lexicon_tool;
namespace fmt = ardovel::lexicon_format;

// The rules for unknown words: an ending decides when it was seen on at
// least `min_forms` forms and its most frequent rewrite covers at least
// `min_share` of them; the walk keeps the longest deciding ending up to
// `max_ending` bytes, and a rule leaves at least `min_stem` bytes.
// Chosen on held-out paradigms (make_lexicon --hold-out; bench/lemma_quality.py).
constexpr std::size_t max_ending = 9;
constexpr std::size_t min_forms = 3;
constexpr double min_share = 0.5;
constexpr std::uint32_t min_stem = 2;

struct Code {
  std::uint32_t cut;
  std::string append;
  bool operator==(const Code&) const = default;
};

struct CodeHash {
  std::size_t operator()(const Code& c) const { return std::hash<std::string>()(c.append) * 31 + c.cut; }
};

class Codes {
 public:
  // 1-based
  std::uint32_t of(const std::string& form, const std::string& key) {
    std::size_t common = 0;
    while (common < form.size() && common < key.size() && form[common] == key[common]) ++common;
    // Whole characters only: a rule that cut half a letter would leave
    // broken UTF-8 on a word whose letter differs.
    while (common > 0 && common < form.size() && (static_cast<unsigned char>(form[common]) & 0xC0U) == 0x80U) --common;
    Code code{static_cast<std::uint32_t>(form.size() - common), key.substr(common)};
    const auto found = index_.find(code);
    if (found != index_.end()) return found->second;
    list_.push_back(code);
    const auto id = static_cast<std::uint32_t>(list_.size());
    index_.emplace(code, id);
    return id;
  }
  const std::vector<Code>& list() const { return list_; }

 private:
  std::vector<Code> list_;
  std::unordered_map<Code, std::uint32_t, CodeHash> index_;
};

struct Rated {
  std::string reversed;  // the form, last byte first
  std::uint32_t code;
};

// Walks the forms sorted by their reversed spelling: every ending is one
// contiguous range. Emits an ending where its decision differs from the one
// its shorter ending already gives, so the trie holds only what changes.
void induce(const std::vector<Rated>& rated, std::size_t begin, std::size_t end, std::size_t depth,
            std::uint32_t inherited, std::vector<std::pair<std::string, std::uint32_t>>& out) {
  std::unordered_map<std::uint32_t, std::size_t> counts;
  std::size_t usable = 0;
  for (std::size_t k = begin; k < end; ++k) {
    if (rated[k].reversed.size() <= depth) continue;  // the ending is the whole form
    ++counts[rated[k].code];
    ++usable;
  }
  std::uint32_t decision = inherited;
  if (depth > 0 && usable >= min_forms) {
    std::uint32_t best = 0;
    std::size_t best_count = 0;
    for (const auto& [code, count] : counts)
      if (count > best_count || (count == best_count && code < best)) best = code, best_count = count;
    if (static_cast<double>(best_count) >= min_share * static_cast<double>(usable)) decision = best;
  }
  if (depth > 0 && decision != inherited) out.emplace_back(rated[begin].reversed.substr(0, depth), decision);
  if (depth == max_ending) return;
  for (std::size_t k = begin; k < end;) {
    if (rated[k].reversed.size() <= depth) {
      ++k;
      continue;
    }
    const char byte = rated[k].reversed[depth];
    std::size_t next = k;
    while (next < end && rated[next].reversed.size() > depth && rated[next].reversed[depth] == byte) ++next;
    induce(rated, k, next, depth + 1, decision, out);
    k = next;
  }
}

std::string reversed(const std::string& text) { return {text.rbegin(), text.rend()}; }

bool all_ascii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Per bald form (in `folded`'s order), whether a spelling with marks that
// folds to it keys otherwise than it does (format.hpp: ask_marked).
std::vector<bool> marked_disagree(const std::vector<Choice>& exact, const std::vector<Choice>& folded) {
  std::vector<std::pair<std::string, std::string>> marked;  // bald form, bald key
  for (const Choice& c : exact)
    if (!all_ascii(c.form)) marked.emplace_back(fold(c.form), fold(c.key));
  std::sort(marked.begin(), marked.end());
  std::vector<bool> out(folded.size(), false);
  std::size_t m = 0;
  for (std::size_t k = 0; k < folded.size(); ++k) {
    while (m < marked.size() && marked[m].first < folded[k].form) ++m;
    for (; m < marked.size() && marked[m].first == folded[k].form; ++m)
      if (marked[m].second != folded[k].key) out[k] = true;
  }
  return out;
}

int run(int argc, char** argv) {
  if (argc < 6) {
    std::cerr << "usage: make_lexicon DIC AFF VERSION OUT.bin [--counts COUNTS.tsv] "
                 "[--hold-out SEED PERCENT HELD.tsv] [--dump FORMS.tsv]\n";
    return 2;
  }
  const std::string dic = argv[1], aff = argv[2], version = argv[3], bin_path = argv[4];
  std::string held_path, dump_path, counts_path;
  unsigned seed = 0, percent = 0;
  for (int k = 5; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--hold-out" && k + 3 < argc) {
      seed = static_cast<unsigned>(std::stoul(argv[k + 1]));
      percent = static_cast<unsigned>(std::stoul(argv[k + 2]));
      held_path = argv[k + 3];
      k += 3;
    } else if (arg == "--counts" && k + 1 < argc) {
      counts_path = argv[++k];
    } else if (arg == "--dump" && k + 1 < argc) {
      dump_path = argv[++k];
    } else {
      std::cerr << "make_lexicon: unknown argument " << arg << "\n";
      return 2;
    }
  }

  const Dictionary dictionary = read_dictionary(dic, aff);

  std::vector<std::string> held_out;
  if (!held_path.empty()) {
    std::set<std::string> lemmas;
    for (std::uint32_t e = 0; e < dictionary.entries.size(); ++e) lemmas.insert(entry_lemma(dictionary, e));
    std::mt19937 random(seed);
    for (const std::string& lemma : lemmas)
      if (random() % 100 < percent) held_out.push_back(lemma);
    ExpandOptions all;
    std::unordered_set<std::string> held_set(held_out.begin(), held_out.end());
    std::ofstream held(held_path);
    for (const Reading& r : expand(dictionary, all))
      if (held_set.count(entry_lemma(dictionary, r.entry)) != 0) held << r.form << '\t' << r.key << '\n';
  }
  ExpandOptions options;
  if (!held_out.empty()) options.held_out_lemmas = &held_out;
  std::vector<Reading> readings = expand(dictionary, options);
  const auto counts = read_counts(counts_path);
  const std::vector<Choice> folded = choose_folded_keys(dictionary, readings, counts);
  const std::vector<Choice> exact = choose_keys(dictionary, std::move(readings), counts);
  if (!dump_path.empty()) {
    std::ofstream dump(dump_path);
    for (const Choice& c : exact) dump << c.form << '\t' << c.key << '\n';
  }

  Codes codes;
  std::vector<std::uint32_t> nodes;
  const auto build_forms = [&](const std::vector<Choice>& choices, const std::vector<bool>& ask_marked,
                                std::vector<Rated>& rated) {
    AutomatonBuilder builder(nodes);
    rated.reserve(choices.size());
    for (std::size_t k = 0; k < choices.size(); ++k) {
      const Choice& c = choices[k];
      const std::uint32_t code = codes.of(c.form, c.key);
      builder.add(c.form, ask_marked.empty() || !ask_marked[k] ? code : code | fmt::ask_marked);
      rated.push_back({reversed(c.form), code});
    }
    return builder.finish();
  };
  std::size_t rule_endings = 0;
  const auto build_rules = [&](std::vector<Rated>& rated) {
    std::sort(rated.begin(), rated.end(), [](const Rated& a, const Rated& b) { return a.reversed < b.reversed; });
    // Only rewrites that leave a stem can be rules.
    std::erase_if(rated,
                  [&](const Rated& r) { return codes.list()[r.code - 1].cut + min_stem > r.reversed.size(); });
    std::vector<std::pair<std::string, std::uint32_t>> endings;
    induce(rated, 0, rated.size(), 0, 0, endings);
    rule_endings += endings.size();
    AutomatonBuilder builder(nodes);
    for (const auto& [ending, code] : endings) builder.add(ending, code);
    return builder.finish();
  };
  // The start table of an automaton, walked with the layout's own rules.
  const auto step = [&](std::uint32_t node, unsigned char byte) -> std::uint32_t {
    const std::uint32_t header = nodes[node];
    if ((header & fmt::chain_bit) != 0) return ((header >> 8) & 0xFFU) == byte ? node + 1 : fmt::no_start;
    const std::uint32_t count = header & 0x7FU;
    const auto* labels = reinterpret_cast<const unsigned char*>(nodes.data() + node + 1);
    for (std::uint32_t k = 0; k < count; ++k)
      if (labels[k] == byte) return nodes[node + 1 + (count + 3) / 4 + k];
    return fmt::no_start;
  };
  const auto build_starts = [&](std::uint32_t root, const std::vector<Choice>& choices) {
    std::vector<unsigned char> classes(256, 0);
    std::uint32_t next_class = 1;
    for (const Choice& c : choices)
      for (std::size_t k = 0; k < 2 && k < c.form.size(); ++k) {
        unsigned char& cls = classes[static_cast<unsigned char>(c.form[k])];
        if (cls == 0) {
          if (next_class == fmt::start_classes) throw std::runtime_error("too many bytes begin forms");
          cls = static_cast<unsigned char>(next_class++);
        }
      }
    const auto offset = static_cast<std::uint32_t>(nodes.size());
    nodes.resize(nodes.size() + fmt::start_classes + fmt::start_classes * fmt::start_classes, fmt::no_start);
    auto* class_bytes = reinterpret_cast<unsigned char*>(nodes.data() + offset);
    for (std::size_t b = 0; b < 256; ++b) class_bytes[b] = classes[b];
    for (std::size_t b0 = 0; b0 < 256; ++b0) {
      if (classes[b0] == 0) continue;
      const std::uint32_t first = step(root, static_cast<unsigned char>(b0));
      if (first == fmt::no_start) continue;
      for (std::size_t b1 = 0; b1 < 256; ++b1) {
        if (classes[b1] == 0) continue;
        nodes[offset + fmt::start_classes + classes[b0] * fmt::start_classes + classes[b1]] =
            step(first, static_cast<unsigned char>(b1));
      }
    }
    return offset;
  };
  std::vector<Rated> rated, bald_rated;
  const std::uint32_t exact_root = build_forms(exact, {}, rated);
  const std::size_t exact_words = nodes.size();
  const std::vector<bool> ask_marked = marked_disagree(exact, folded);
  const std::uint32_t folded_root = build_forms(folded, ask_marked, bald_rated);
  const std::size_t folded_words = nodes.size() - exact_words;
  const std::uint32_t rules_root = build_rules(rated);
  const std::uint32_t folded_rules_root = build_rules(bald_rated);
  const std::size_t rules_words = nodes.size() - exact_words - folded_words;
  const std::uint32_t exact_starts = build_starts(exact_root, exact);
  const std::uint32_t folded_starts = build_starts(folded_root, folded);
  nodes.resize(nodes.size() + fmt::tail_words, 0);

  std::string pool;
  std::vector<std::uint32_t> code_words;
  for (const Code& c : codes.list()) {
    if (c.cut > 0xFF || c.append.size() > 0xFF) throw std::runtime_error("rewrite code too long");
    code_words.push_back(c.cut | static_cast<std::uint32_t>(c.append.size()) << 8);
    code_words.push_back(static_cast<std::uint32_t>(pool.size()));
    pool += c.append;
  }
  const std::string meta = "generated by tools/lexicon/make_lexicon.cpp from Debian's hunspell-sr " + version +
                           " (sr_Latn_RS.dic sha256 " + sha256_of_file(dic) + ", sr_Latn_RS.aff sha256 " +
                           sha256_of_file(aff) + "), do not edit; dictionary licence: GPL-2+ or LGPL-2.1 or " +
                           "MPL-1.1, (c) 2013 Goran Rakic, Milos Popovic, Aleksandar Urosevic" +
                           (counts_path.empty() ? "" : "; choice among lemmas weighed by word counts of Serbian "
                                                       "translations in Debian packages (serbian_form_counts.tsv)") +
                           (held_out.empty() ? "" : "; lemmas held out for measurement");

  std::vector<std::uint32_t> header(fmt::h_count, 0);
  header[fmt::h_magic_0] = fmt::magic_0;
  header[fmt::h_magic_1] = fmt::magic_1;
  header[fmt::h_exact_root] = exact_root;
  header[fmt::h_folded_root] = folded_root;
  header[fmt::h_rules_root] = rules_root;
  header[fmt::h_nodes_offset] = fmt::h_count;
  header[fmt::h_nodes_count] = static_cast<std::uint32_t>(nodes.size());
  header[fmt::h_codes_offset] = static_cast<std::uint32_t>(fmt::h_count + nodes.size());
  header[fmt::h_codes_count] = static_cast<std::uint32_t>(codes.list().size());
  const std::size_t pool_offset = 4 * (fmt::h_count + nodes.size() + code_words.size());
  header[fmt::h_pool_offset] = static_cast<std::uint32_t>(pool_offset);
  header[fmt::h_pool_size] = static_cast<std::uint32_t>(pool.size());
  header[fmt::h_meta_offset] = static_cast<std::uint32_t>(pool_offset + pool.size());
  header[fmt::h_meta_size] = static_cast<std::uint32_t>(meta.size());
  header[fmt::h_rule_min_stem] = min_stem;
  header[fmt::h_folded_rules_root] = folded_rules_root;
  header[fmt::h_exact_starts] = exact_starts;
  header[fmt::h_folded_starts] = folded_starts;

  std::ofstream bin(bin_path, std::ios::binary);
  const auto write_words = [&](const std::vector<std::uint32_t>& words) {
    for (const std::uint32_t w : words) {
      const unsigned char bytes[4] = {static_cast<unsigned char>(w), static_cast<unsigned char>(w >> 8),
                                      static_cast<unsigned char>(w >> 16), static_cast<unsigned char>(w >> 24)};
      bin.write(reinterpret_cast<const char*>(bytes), 4);
    }
  };
  write_words(header);
  write_words(nodes);
  write_words(code_words);
  bin << pool << meta;
  bin.close();
  if (!bin) throw std::runtime_error("cannot write " + bin_path);

  std::cerr << "make_lexicon: " << exact.size() << " forms, " << folded.size() << " bald forms ("
            << std::count(ask_marked.begin(), ask_marked.end(), true) << " asking the marked spelling), "
            << codes.list().size()
            << " codes, " << rule_endings << " rule endings; bytes: exact " << 4 * exact_words << ", bald "
            << 4 * folded_words << ", rules " << 4 * rules_words << ", codes " << 4 * code_words.size() + pool.size()
            << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "make_lexicon: " << error.what() << "\n";
    return 1;
  }
}
