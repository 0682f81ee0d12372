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
// stem's hash, size and first sixteen bytes and its count of uses, so that
// most lookups read and write one slot and nothing else; lookups are made in batches that fetch their slots
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
  // Calls uses(number, count) for every stem with the number of times it
  // was added, in no particular order.
  template <class Uses>
  void for_each_use_count(Uses&& uses) const {
    for (const Slot& slot : slots_) {
      if (slot.number_plus_one != 0) uses(std::size_t{slot.number_plus_one - 1}, slot.uses);
    }
  }
  [[nodiscard]] std::string_view operator[](std::size_t number) const noexcept {
    const std::size_t begin = number == 0 ? 0 : ends_[number - 1];
    return std::string_view(bytes_).substr(begin, ends_[number] - begin);
  }

 private:
  // Linear probing, at most three quarters full; two slots to a cache line.
  struct alignas(32) Slot {
    std::uint32_t hash_high = 0;  // the hash's upper half, which also gives the home slot
    std::uint32_t uses = 0;
    std::uint64_t head[2] = {0, 0};
    std::uint32_t size = 0;
    std::uint32_t number_plus_one = 0;  // 0: a free slot
  };
  // Zeroed slots in one block. A block of 2 MiB or more asks the kernel for
  // huge pages: lookups land on random pages, and with 4 KiB pages nearly
  // each would miss the TLB, and the first touch of each fault.
  class Slots {
   public:
    Slots() noexcept = default;
    explicit Slots(std::size_t count);
    [[nodiscard]] std::size_t size() const noexcept { return count_; }
    [[nodiscard]] bool empty() const noexcept { return count_ == 0; }
    Slot& operator[](std::size_t at) noexcept { return block_.get()[at]; }
    const Slot& operator[](std::size_t at) const noexcept { return block_.get()[at]; }
    [[nodiscard]] const Slot* begin() const noexcept { return block_.get(); }
    [[nodiscard]] const Slot* end() const noexcept { return block_.get() + count_; }

   private:
    struct Free {
      void operator()(Slot* block) const noexcept;
    };
    std::unique_ptr<Slot[], Free> block_;
    std::size_t count_ = 0;
  };

  [[nodiscard]] bool holds(const Slot& slot, const Key& key) const noexcept;
  void grow();

  std::string bytes_;               // every distinct stem, end to end
  std::vector<std::size_t> ends_;   // where each one ends in bytes_
  Slots slots_;                     // a power of two in size, or none
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
  // `expected_bytes`: about how long the text is, to size the per-token
  // arrays once (space reserved but never written costs no memory).
  StemCollector(const analysis::StopWords& stop_words, Offsets offsets, std::size_t expected_bytes);
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
