#include "lexicon/lemma.hpp"

#include <algorithm>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>

#include "lexicon/data.hpp"
#include "lexicon/format.hpp"
#include "stemmer/normalise.hpp"
#include "stemmer/stem.hpp"

namespace ardovel {
namespace fmt = lexicon_format;

namespace {

std::uint32_t word_at(std::span<const unsigned char> bytes, std::size_t index) noexcept {
  std::uint32_t w;
  std::memcpy(&w, bytes.data() + 4 * index, 4);
  return w;
}

bool all_ascii(std::string_view text) noexcept {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool is_vowel(char c) noexcept { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }

// Writes `form` with its ijekavian reflexes read as ekavian: every long
// "ije" becomes "e"; with `short_too`, so does every short "je" that does
// not start the word, and with `after_digraph` also one after 'l' or 'n',
// where "lje" and "nje" may be the letters lj and nj before an 'e'
// ("njega") as well as a reflex ("ljeto", "snježan"). A short reflex
// follows a consonant ("sujeta" has none). Returns false when nothing
// changed.
bool ekavian_reading(std::string_view form, bool short_too, bool after_digraph, Text& out) {
  out.clear();
  bool changed = false;
  for (std::size_t k = 0; k < form.size(); ++k) {
    const char c = form[k];
    if (k >= 1 && c == 'i' && k + 2 < form.size() && form[k + 1] == 'j' && form[k + 2] == 'e') {
      out.push_back('e');
      k += 2;
      changed = true;
      continue;
    }
    if (short_too && k >= 1 && c == 'j' && k + 1 < form.size() && form[k + 1] == 'e' && !is_vowel(form[k - 1]) &&
        (after_digraph || (form[k - 1] != 'l' && form[k - 1] != 'n'))) {
      changed = true;
      continue;  // the 'e' follows
    }
    out.push_back(c);
  }
  return changed;
}

}  // namespace

Lexicon::Lexicon(std::span<const unsigned char> bytes) noexcept {
  if constexpr (std::endian::native != std::endian::little) return;
  if (bytes.size() < 4 * fmt::h_count || reinterpret_cast<std::uintptr_t>(bytes.data()) % 4 != 0) return;
  if (word_at(bytes, fmt::h_magic_0) != fmt::magic_0 || word_at(bytes, fmt::h_magic_1) != fmt::magic_1) return;
  const std::uint32_t nodes_offset = word_at(bytes, fmt::h_nodes_offset);
  const std::uint32_t codes_offset = word_at(bytes, fmt::h_codes_offset);
  const std::uint32_t pool_offset = word_at(bytes, fmt::h_pool_offset);
  const std::uint32_t meta_offset = word_at(bytes, fmt::h_meta_offset);
  const std::uint32_t meta_size = word_at(bytes, fmt::h_meta_size);
  if (std::size_t{meta_offset} + meta_size > bytes.size()) return;
  const auto* words = reinterpret_cast<const std::uint32_t*>(bytes.data());
  codes_ = words + codes_offset;
  code_count_ = word_at(bytes, fmt::h_codes_count);
  pool_ = reinterpret_cast<const char*>(bytes.data()) + pool_offset;
  exact_root_ = word_at(bytes, fmt::h_exact_root);
  bald_root_ = word_at(bytes, fmt::h_folded_root);
  rules_root_ = word_at(bytes, fmt::h_rules_root);
  bald_rules_root_ = word_at(bytes, fmt::h_folded_rules_root);
  exact_starts_ = word_at(bytes, fmt::h_exact_starts);
  bald_starts_ = word_at(bytes, fmt::h_folded_starts);
  rule_min_stem_ = word_at(bytes, fmt::h_rule_min_stem);
  metadata_ = {reinterpret_cast<const char*>(bytes.data()) + meta_offset, meta_size};
  nodes_ = words + nodes_offset;
}

const Lexicon& Lexicon::installed() noexcept {
  static const Lexicon lexicon(lexicon_data::bytes());
  return lexicon;
}

namespace {

constexpr std::uint32_t no_node = fmt::no_start;

// The index of `byte` among a general node's `count` labels, or `count`.
// Compares sixteen labels at once where the machine can (the arrays end
// with spare words so the read stays inside the data): a branch on each
// label would be mispredicted at almost every node.
inline std::uint32_t label_index(const unsigned char* labels, std::uint32_t count, unsigned char byte) noexcept {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(byte));
  for (std::uint32_t base = 0; base < count; base += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(labels + base));
    auto hits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
    if (count - base < 16) hits &= (1U << (count - base)) - 1U;
    if (hits != 0) return base + static_cast<std::uint32_t>(std::countr_zero(hits));
  }
  return count;
#else
  std::uint32_t k = 0;
  while (k < count && labels[k] != byte) ++k;
  return k;
#endif
}

// The node that `byte` leads to from `node`, or no_node.
inline std::uint32_t step(const std::uint32_t* nodes, std::uint32_t node, unsigned char byte) noexcept {
  const std::uint32_t header = nodes[node];
  if ((header & fmt::chain_bit) != 0) return ((header >> 8) & 0xFFU) == byte ? node + 1 : no_node;
  const std::uint32_t count = header & 0x7FU;
  const auto* labels = reinterpret_cast<const unsigned char*>(nodes + node + 1);
  const std::uint32_t k = label_index(labels, count, byte);
  if (k == count) return no_node;
  return nodes[node + 1 + (count + 3) / 4 + k];
}

inline std::uint32_t code_at(const std::uint32_t* nodes, std::uint32_t node) noexcept {
  const std::uint32_t header = nodes[node];
  return (header & fmt::chain_bit) != 0 ? 0 : header >> 8;
}

}  // namespace

Lexicon::Start Lexicon::start(std::string_view form, bool bald) const noexcept {
  if (form.size() < 2) return {bald ? bald_root_ : exact_root_, 0, true};
  const std::uint32_t* starts = nodes_ + (bald ? bald_starts_ : exact_starts_);
  const auto* classes = reinterpret_cast<const unsigned char*>(starts);
  const std::uint32_t first = classes[static_cast<unsigned char>(form[0])];
  const std::uint32_t second = classes[static_cast<unsigned char>(form[1])];
  if (first == 0 || second == 0) return {0, 0, false};
  const std::uint32_t node = starts[fmt::start_classes + first * fmt::start_classes + second];
  return {node, 2, node != fmt::no_start};
}

std::uint32_t Lexicon::find(std::string_view form, bool bald) const noexcept {
  const Start begin = start(form, bald);
  if (!begin.found) return 0;
  std::uint32_t node = begin.node;
  for (std::size_t k = begin.taken; k < form.size(); ++k) {
    node = step(nodes_, node, static_cast<unsigned char>(form[k]));
    if (node == no_node) return 0;
  }
  return code_at(nodes_, node);
}

void Lexicon::find_each(std::span<const std::string_view> forms, bool bald, std::uint32_t* codes) const noexcept {
  constexpr std::size_t most = 16;
  struct Walk {
    const unsigned char* next;
    const unsigned char* end;
    std::uint32_t node;
  };
  for (std::size_t done = 0; done < forms.size(); done += most) {
    const std::size_t count = std::min(most, forms.size() - done);
    Walk walks[most];
    std::uint32_t walking = 0;  // a bit per walk still going
    for (std::size_t k = 0; k < count; ++k) {
      const std::string_view form = forms[done + k];
      codes[done + k] = 0;
      const Start begin = start(form, bald);
      if (!begin.found) continue;
      const auto* bytes = reinterpret_cast<const unsigned char*>(form.data());
      walks[k] = {bytes + begin.taken, bytes + form.size(), begin.node};
      __builtin_prefetch(nodes_ + walks[k].node);
      walking |= 1U << k;
    }
    while (walking != 0) {
      for (std::uint32_t left = walking; left != 0; left &= left - 1) {
        const auto k = static_cast<std::size_t>(std::countr_zero(left));
        Walk& walk = walks[k];
        if (walk.next == walk.end) {
          codes[done + k] = code_at(nodes_, walk.node);
          walking &= ~(1U << k);
          continue;
        }
        walk.node = step(nodes_, walk.node, *walk.next++);
        if (walk.node == no_node) {
          walking &= ~(1U << k);
          continue;
        }
        __builtin_prefetch(nodes_ + walk.node);
      }
    }
  }
}

std::uint32_t Lexicon::rule_for(std::string_view form, bool bald) const noexcept {
  std::uint32_t node = bald ? bald_rules_root_ : rules_root_;
  std::uint32_t found = 0;
  // The ending never takes the whole word: a rule speaks for words that go
  // on before it.
  for (std::size_t k = form.size(); k-- > 1;) {
    node = step(nodes_, node, static_cast<unsigned char>(form[k]));
    if (node == no_node) break;
    // A rule may cut more than its ending: only where that leaves whole
    // characters (the forms it was read off may spell the cut part with
    // letters of another length).
    const std::uint32_t code = code_at(nodes_, node);
    if (code == 0) continue;
    const std::uint32_t cut = codes_[2 * (code - 1)] & 0xFFU;
    if (cut + rule_min_stem_ <= form.size() &&
        (cut == 0 || (static_cast<unsigned char>(form[form.size() - cut]) & 0xC0U) != 0x80U))
      found = code;
  }
  return found;
}

std::string_view Lexicon::apply(std::uint32_t code, std::string_view form, Text& out) const {
  code &= ~fmt::ask_marked;
  const std::uint32_t shape = codes_[2 * (code - 1)];
  const std::uint32_t cut = shape & 0xFFU;
  const std::uint32_t append = (shape >> 8) & 0xFFU;
  const std::string_view kept = form.substr(0, form.size() - cut);
  if (append == 0) return kept;  // the lemma itself, or a form that only adds an ending
  out.clear();
  out.append(kept);
  out.append({pool_ + codes_[2 * (code - 1) + 1], append});
  return out.view();
}

bool lexicon_available() noexcept { return Lexicon::installed().available(); }

void fold_into(std::string_view text, Text& out) {
  out.clear();
  char* const begin = out.extend(2 * text.size());
  char* write = begin;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const auto byte = static_cast<unsigned char>(text[k]);
    if (k + 1 < text.size() && (byte == 0xC4 || byte == 0xC5)) {
      const auto next = static_cast<unsigned char>(text[k + 1]);
      const char* bald = nullptr;
      if (byte == 0xC4 && (next == 0x8D || next == 0x87)) bald = "c";       // č ć
      else if (byte == 0xC5 && next == 0xA1) bald = "s";                    // š
      else if (byte == 0xC5 && next == 0xBE) bald = "z";                    // ž
      else if (byte == 0xC4 && next == 0x91) bald = "dj";                   // đ
      if (bald != nullptr) {
        for (; *bald != '\0'; ++bald) *write++ = *bald;
        ++k;
        continue;
      }
    }
    *write++ = text[k];
  }
  out.truncate(static_cast<std::size_t>(write - begin));
}

namespace {

// A code found, and the spelling it was found for.
struct Found {
  std::uint32_t code = 0;
  std::string_view text;
};

// The ekavian readings of a normalised spelling in one index (as written or
// bald): the dictionary's ijekavian entries cover most ijekavian forms,
// these the ones it lacks. A reading found is written into scratch.variant.
Found find_ekavian(const Lexicon& lexicon, std::string_view text, bool bald, LemmaScratch& scratch) {
  if (text.find("je") == std::string_view::npos) return {};
  static constexpr struct {
    bool short_too;
    bool after_digraph;
  } readings[] = {{false, false}, {true, false}, {true, true}};
  for (const auto& reading : readings) {
    if (!ekavian_reading(text, reading.short_too, reading.after_digraph, scratch.variant)) continue;
    if (const std::uint32_t code = lexicon.find(scratch.variant.view(), bald)) return {code, scratch.variant.view()};
  }
  return {};
}

Found find_reading(const Lexicon& lexicon, std::string_view text, bool bald, LemmaScratch& scratch) {
  if (const std::uint32_t code = lexicon.find(text, bald)) return {code, text};
  return find_ekavian(lexicon, text, bald, scratch);
}

// The key of a spelling from one index; empty when it is not known (a key
// never is).
std::string_view look_up(const Lexicon& lexicon, std::string_view text, bool bald, LemmaScratch& scratch) {
  if (const std::uint32_t code = lexicon.find(text, bald)) return lexicon.apply(code, text, scratch.key);
  const Found found = find_ekavian(lexicon, text, bald, scratch);
  return found.code == 0 ? std::string_view{} : lexicon.apply(found.code, found.text, scratch.key);
}

// A word the lexicon lacks: the rule of its longest known ending, on the
// word as written. (Reading "ije" as "e" first, as the stemmer does, made
// the held-out paradigms' keys worse: 89.9% lemma-match against 91.2%,
// since many an "ije" is no reflex, "orijentalizacija".)
std::string_view apply_rule(const Lexicon& lexicon, std::string_view text, bool bald, LemmaScratch& scratch) {
  const std::uint32_t code = lexicon.rule_for(text, bald);
  return code == 0 ? std::string_view{} : lexicon.apply(code, text, scratch.key);
}

// A superlative the lexicon lacks is read as its comparative, as the
// lexicon keys the superlatives it has ("najvertikalnijim" as
// "vertikalnijim"). Words that only begin with "naj" are in the lexicon
// ("najava", "najam").
std::string_view superlative_base(std::string_view form) noexcept {
  constexpr std::size_t min_rest = 5;
  return form.starts_with("naj") && form.size() >= 3 + min_rest ? form.substr(3) : form;
}

bool inside(const Text& text, std::string_view part) noexcept {
  return part.data() >= text.data() && part.data() < text.data() + text.capacity();
}

// `key` folded, into whichever buffer it does not lie in.
std::string_view folded(std::string_view key, LemmaScratch& scratch) {
  Text& out = inside(scratch.variant, key) ? scratch.key : scratch.variant;
  fold_into(key, out);
  return out.view();
}

std::string_view stem_key(std::string_view token, bool fold, LemmaScratch& scratch) {
  const std::string_view stem = stem_word_into(token, scratch.key);
  if (!fold) return stem;
  fold_into(stem, scratch.variant);
  return scratch.variant.view();
}

}  // namespace

std::string_view lemma_query_into(std::string_view token, bool fold, LemmaScratch& scratch) {
  scratch.form.clear();
  char* const at = scratch.form.extend(normalised_capacity(token.size()));
  scratch.form.truncate(normalise_keeping_ije_into(token, at));
  const std::string_view form = scratch.form.view();
  if (!fold || all_ascii(form)) return form;
  fold_into(form, scratch.bald);
  return scratch.bald.view();
}

std::string_view lemma_key_from(const Lexicon& lexicon, std::string_view token, bool fold, std::uint32_t code,
                                LemmaScratch& scratch) {
  const std::string_view form = scratch.form.view();
  if (form.empty()) return {};

  if (!fold) {
    std::string_view key;
    if (code != 0) {
      key = lexicon.apply(code, form, scratch.key);
    } else if (const Found found = find_ekavian(lexicon, form, false, scratch); found.code != 0) {
      key = lexicon.apply(found.code, found.text, scratch.key);
    } else {
      key = apply_rule(lexicon, superlative_base(form), false, scratch);
    }
    return key.empty() ? stem_key(token, false, scratch) : key;
  }
  // Bald keys, from the bald forms: one lookup whether or not the word was
  // typed with its marks, unless the bald form asks for the marked spelling
  // (format.hpp), where the marks tell lemmas apart ("kuće", "kuče"). Always
  // looking a marked word up as written first chose the same keys but kept
  // both automata warm: a third more time per key.
  const bool marked = !all_ascii(form);
  const std::string_view bald = marked ? scratch.bald.view() : form;
  if (Found found = code != 0 ? Found{code, bald} : find_ekavian(lexicon, bald, true, scratch); found.code != 0) {
    if (marked && (found.code & fmt::ask_marked) != 0) {
      if (const std::string_view key = look_up(lexicon, form, false, scratch); !key.empty())
        return folded(key, scratch);
      found = find_reading(lexicon, bald, true, scratch);  // the variant was written over
    }
    return lexicon.apply(found.code, found.text, scratch.key);
  }
  const std::string_view key = marked ? apply_rule(lexicon, superlative_base(form), false, scratch)
                                      : apply_rule(lexicon, superlative_base(bald), true, scratch);
  return key.empty() ? stem_key(token, true, scratch) : folded(key, scratch);
}

std::string_view lemma_key_into(const Lexicon& lexicon, std::string_view token, bool fold, LemmaScratch& scratch) {
  if (!lexicon.available()) return stem_key(token, fold, scratch);
  const std::string_view query = lemma_query_into(token, fold, scratch);
  return lemma_key_from(lexicon, token, fold, query.empty() ? 0 : lexicon.find(query, fold), scratch);
}

std::string_view lemma_key_into(std::string_view token, bool fold, LemmaScratch& scratch) {
  return lemma_key_into(Lexicon::installed(), token, fold, scratch);
}

}  // namespace ardovel
