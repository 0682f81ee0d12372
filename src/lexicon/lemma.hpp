// The lemma key: one token to its dictionary form, in lower-case ekavian
// Latin, so that a search for any form of a word (Cyrillic or Latin,
// ekavian or ijekavian) finds the others. Built over hunspell-sr's Latin
// dictionary, expanded at build time into one read-only file (format.hpp)
// that every process maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "ardovel/text.hpp"

namespace ardovel {

// Caller-owned room for one key at a time; a key is a view into it and
// stays valid until the scratch is used again. No heap block for words of
// up to about 70 bytes.
struct LemmaScratch {
  Text form;     // the normalised token ("ije" kept)
  Text bald;     // the form without its marks
  Text variant;  // a reading tried in its place (ekavian), a bald key
  Text key;
};

// A lexicon in the layout of format.hpp, read where it lies.
class Lexicon {
 public:
  // An empty or malformed block gives a lexicon that is not available.
  explicit Lexicon(std::span<const unsigned char> bytes) noexcept;

  // The installed lexicon file, mapped on first use; not available when
  // the build had no dictionary (Meson option `lemmas`) or the file cannot
  // be read.
  [[nodiscard]] static const Lexicon& installed() noexcept;

  [[nodiscard]] bool available() const noexcept { return nodes_ != nullptr; }
  // What made the data: generator, dictionary version and checksums,
  // licence. Empty when not available.
  [[nodiscard]] std::string_view metadata() const noexcept { return metadata_; }

  // The rewrite code (1-based; 0 when absent) of a normalised form.
  [[nodiscard]] std::uint32_t find(std::string_view form, bool bald) const noexcept;
  // find for each of `forms` into `codes` (as many), the walks taken in
  // turns: each step of a walk waits on memory, and the steps of different
  // walks can wait together.
  void find_each(std::span<const std::string_view> forms, bool bald, std::uint32_t* codes) const noexcept;
  // The code of the longest deciding ending of `form` (0 when none), from
  // the rules read off marked or bald spellings.
  [[nodiscard]] std::uint32_t rule_for(std::string_view form, bool bald) const noexcept;
  // The key that `code` makes of `form`: a view into `form` where the code
  // only cuts (most forms), else into `out`, where it is written.
  [[nodiscard]] std::string_view apply(std::uint32_t code, std::string_view form, Text& out) const;

 private:
  // Where a walk for `form` goes on from: the node after its first two
  // bytes, read off the table of starts, or the root for a shorter form.
  struct Start {
    std::uint32_t node;
    std::size_t taken;  // bytes of `form` the start stands for
    bool found;         // false when no form begins so
  };
  [[nodiscard]] Start start(std::string_view form, bool bald) const noexcept;

  const std::uint32_t* nodes_ = nullptr;
  const std::uint32_t* codes_ = nullptr;
  const char* pool_ = nullptr;
  std::uint32_t code_count_ = 0;
  std::uint32_t exact_root_ = 0;
  std::uint32_t bald_root_ = 0;
  std::uint32_t rules_root_ = 0;
  std::uint32_t bald_rules_root_ = 0;
  std::uint32_t exact_starts_ = 0;
  std::uint32_t bald_starts_ = 0;
  std::uint32_t rule_min_stem_ = 0;
  std::string_view metadata_;
};

// Whether this build carries the lexicon. Without it lemma_key_into gives
// the stem (stem_word_into), so callers keep working, only with the
// stemmer's keys.
[[nodiscard]] bool lexicon_available() noexcept;

// The key of one token (valid UTF-8, NFKC): normalised as the stemmer
// normalises (lower case, Latin, letters and digits only), looked up as
// written, then in its ekavian readings; a word the lexicon lacks gets the
// rule of its longest known ending, or else its stem. With `fold`, the key
// is bald Latin (č ć -> c, š -> s, ž -> z, đ -> dj) and undiacritised
// spellings are found ("sisanje" keys as "šišanje"). Empty when the token
// has no letters or digits. The view points into `scratch` (or into
// the mapped lexicon).
[[nodiscard]] std::string_view lemma_key_into(std::string_view token, bool fold, LemmaScratch& scratch);
[[nodiscard]] std::string_view lemma_key_into(const Lexicon& lexicon, std::string_view token, bool fold,
                                              LemmaScratch& scratch);

// lemma_key_into in two halves, around the lookup that most keys end
// with, for callers that look many tokens up at once (find_each). The
// lexicon must be available. lemma_query_into writes the normalised token
// into `scratch` and gives the spelling to find (bald with `fold`);
// lemma_key_from gives the key from that lookup's code, with the same
// token and scratch.
[[nodiscard]] std::string_view lemma_query_into(std::string_view token, bool fold, LemmaScratch& scratch);
[[nodiscard]] std::string_view lemma_key_from(const Lexicon& lexicon, std::string_view token, bool fold,
                                              std::uint32_t code, LemmaScratch& scratch);

// Bald Latin of a lower-case Latin text, into `out`.
void fold_into(std::string_view text, Text& out);

}  // namespace ardovel
