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
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/stopwords.hpp"
#include "analysis/tokenizer.hpp"

namespace ardovel::text_module {

// Distinct byte strings, numbered from 0 in the order they were first added.
//
// A large vocabulary makes every lookup a cache miss, which costs more than
// stemming the token, so the table is laid out for misses: a slot holds the
// stem's hash, size and first sixteen bytes, so that most lookups read one
// slot and nothing else; lookups are made in batches that fetch their slots
// ahead (see `prefetch`); and the home slot is given by the hash's high
// bits, so that growing the table walks both tables in order.
class StemSet {
 public:
  struct Key {
    std::uint64_t hash;
    std::uint64_t head[2];  // the first sixteen bytes, zero-padded
    std::string_view stem;
  };
  [[nodiscard]] static Key key_of(std::string_view stem) noexcept;

  // Asks for the key's home slot to be brought into the cache.
  void prefetch(const Key& key) const noexcept;

  // The number of the key's stem, adding it when it is new, and counting
  // one more use of it. Only std::bad_alloc can escape (also when it would
  // be the 2^32-th stem, or the 2^32-th use of one).
  std::uint32_t add(const Key& key);

  [[nodiscard]] std::size_t size() const noexcept { return ends_.size(); }
  // How many times the stem was added: the references its `str` will need.
  [[nodiscard]] std::uint32_t uses(std::size_t number) const noexcept { return uses_[number]; }
  [[nodiscard]] std::string_view operator[](std::size_t number) const noexcept {
    const std::size_t begin = number == 0 ? 0 : ends_[number - 1];
    return std::string_view(bytes_).substr(begin, ends_[number] - begin);
  }

 private:
  // Linear probing, at most three quarters full; two slots to a cache line.
  struct alignas(32) Slot {
    std::uint64_t hash = 0;
    std::uint64_t head[2] = {0, 0};
    std::uint32_t size = 0;
    std::uint32_t number_plus_one = 0;  // 0: a free slot
  };
  [[nodiscard]] bool holds(const Slot& slot, const Key& key) const noexcept;
  void grow();

  std::string bytes_;               // every distinct stem, end to end
  std::vector<std::size_t> ends_;   // where each one ends in bytes_
  std::vector<std::uint32_t> uses_;
  std::vector<Slot> slots_;         // a power of two in size, or empty
  int shift_ = 64;                  // hash >> shift_ is the home slot
};

// A text's kept tokens, in order.
struct TextStems {
  StemSet stems;
  std::vector<std::uint32_t> numbers;   // each kept token's stem number
  std::vector<analysis::Span> chars;    // each kept token's code points, when asked for
};

enum class Offsets { skip, keep };

// Tokenizes and stems a text given as one or more pieces of valid UTF-8, in
// order, none of which ends inside a token. Only std::bad_alloc can escape.
class StemCollector {
 public:
  StemCollector(const analysis::StopWords& stop_words, Offsets offsets);
  ~StemCollector();
  StemCollector(const StemCollector&) = delete;
  StemCollector& operator=(const StemCollector&) = delete;

  // `first_char`: the piece's offset in code points from the text's start.
  void add(std::string_view piece, std::size_t first_char);
  [[nodiscard]] TextStems finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ardovel::text_module
