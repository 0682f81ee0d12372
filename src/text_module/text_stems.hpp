// The stems of a whole text, gathered without touching Python.
//
// Python needs the interpreter lock to make objects but not to find the
// stems, so a text is analysed in two phases: this one, which may run with
// the lock released, and the building of the result objects, which holds
// it. Keeping the second phase short is what lets two threads analyse two
// texts at once, so this phase hands over as little as possible: every
// distinct stem once, and per kept token only the number of its stem (and
// its code-point span when asked). Texts repeat their words, so the second
// phase makes one `str` per distinct stem rather than one per token, which
// also keeps the result's memory near one pointer per token.
//
// Telling which tokens share a stem is the costly part when the vocabulary
// is large: one hash table over the whole text makes every lookup a cache
// miss, which costs more than stemming the token. So the stems are first
// written down in text order, then sorted into buckets by their hash's top
// bits, and each bucket is settled with a table small enough to stay in
// the cache. Every step walks its arrays in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "analysis/stopwords.hpp"
#include "analysis/tokenizer.hpp"
#include "stemmer/interruption.hpp"
#include "text_module/block_array.hpp"

namespace ardovel::text_module {

// The distinct stems of a text, numbered from 0, end to end in one buffer.
class DistinctStems {
 public:
  [[nodiscard]] std::size_t size() const noexcept { return places_.size(); }
  [[nodiscard]] std::string_view operator[](std::size_t number) const noexcept {
    return {bytes_.data() + places_[number].offset, places_[number].size};
  }

 private:
  friend class StemCollector;
  struct Place {
    std::uint32_t offset;
    std::uint32_t size;
  };
  BlockArray<char> bytes_;
  BlockArray<Place> places_;
};

// A text's kept tokens, in order.
struct TextStems {
  DistinctStems stems;
  BlockArray<std::uint32_t> numbers;  // each kept token's stem number
  BlockArray<std::uint32_t> uses;     // how many kept tokens have each stem
  BlockArray<analysis::Span> chars;   // each kept token's code points, when asked for
};

enum class Offsets { skip, keep };

// Stems and stem numbers are 32 bits wide: half the memory per token of
// 64, which a text of more than 4 GiB of stems would need.
inline constexpr std::size_t most_stem_bytes = 0xFFFFFFFF;

// Tokenizes and stems a text given as one or more pieces of valid UTF-8, in
// order, none of which ends inside a token. Only std::bad_alloc can escape.
class StemCollector {
 public:
  // `expected_bytes`: about how long the text is, to size the per-token
  // arrays once (space reserved but never written costs no memory).
  // `interruption` is asked while a token of megabytes is stemmed.
  StemCollector(const analysis::StopWords& stop_words, Offsets offsets, std::size_t expected_bytes,
                Interruption interruption);
  ~StemCollector();
  StemCollector(const StemCollector&) = delete;
  StemCollector& operator=(const StemCollector&) = delete;

  enum class Stop { none, interrupted, too_large };

  // `first_char`: the piece's offset in code points from the text's start.
  // Returns false when the collector had to stop, and stop() says why: the
  // interruption asked to, or the kept stems came to more than
  // most_stem_bytes (or as many tokens).
  bool add(std::string_view piece, std::size_t first_char);
  [[nodiscard]] Stop stop() const noexcept;
  [[nodiscard]] TextStems finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ardovel::text_module
