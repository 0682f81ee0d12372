// The keys of a whole text, gathered apart from the host's objects.
//
// A host that makes one object per key (Python needs its interpreter lock
// for that, but not to find the keys) works in two phases: this one, which
// may run without the lock, and the making of the result, which holds it.
// Keeping the second phase short is what lets two threads analyse two texts
// at once, so this phase hands over as little as possible: every distinct
// key once, and per kept token only the number of its key (and its
// code-point span when asked). Texts repeat their words, so a host makes
// one object per distinct key rather than one per token.
//
// Telling which tokens share a key is the costly part when the vocabulary
// is large: one hash table over the whole text makes every lookup a cache
// miss, which costs more than stemming the token. So the keys are first
// written down in text order, then sorted into buckets by their hash's top
// bits, and each bucket is settled with a table small enough to stay in
// the cache. Every step walks its arrays in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "ardovel/analyzer.hpp"
#include "ardovel/block_array.hpp"

namespace ardovel {

// The distinct keys of a text, numbered from 0, end to end in one buffer.
class DistinctKeys {
 public:
  [[nodiscard]] std::size_t size() const noexcept { return places_.size(); }
  [[nodiscard]] std::string_view operator[](std::size_t number) const noexcept {
    return {bytes_.data() + places_[number].offset, places_[number].size};
  }

 private:
  friend class KeyCollector;
  struct Place {
    std::uint32_t offset;
    std::uint32_t size;
  };
  BlockArray<char> bytes_;
  BlockArray<Place> places_;
};

// A text's kept tokens, in order.
struct TextKeys {
  DistinctKeys keys;
  BlockArray<std::uint32_t> numbers;  // each kept token's key number
  BlockArray<std::uint32_t> uses;     // how many kept tokens have each key
  BlockArray<Span> chars;             // each kept token's code points, when asked for
};

enum class Offsets { skip, keep };

// Keys and their numbers are 32 bits wide: half the memory per token of 64,
// which only a text of more than 4 GiB of keys would need.
inline constexpr std::size_t most_key_bytes = 0xFFFFFFFF;

// Tokenizes and keys a text given as one or more pieces of valid UTF-8, in
// order, none of which ends inside a token. Only std::bad_alloc can escape.
class KeyCollector {
 public:
  // `expected_bytes`: about how long the text is, to size the per-token
  // arrays once (space reserved but never written costs no memory).
  // `interruption` is asked while a token of megabytes is keyed. `most`
  // bounds the kept keys' bytes and count (lower only in tests).
  KeyCollector(const AnalyzerOptions& options, Offsets offsets, std::size_t expected_bytes,
               Interruption interruption = {}, std::size_t most = most_key_bytes);
  ~KeyCollector();
  KeyCollector(const KeyCollector&) = delete;
  KeyCollector& operator=(const KeyCollector&) = delete;

  enum class Stop { none, interrupted, too_large };

  // `first_char`: the piece's offset in code points from the text's start.
  // Returns false when the collector had to stop, and stop() says why: the
  // interruption asked to, or the kept keys came to more than `most` bytes
  // (or as many tokens).
  bool add(std::string_view piece, std::size_t first_char);
  [[nodiscard]] Stop stop() const noexcept;
  [[nodiscard]] TextKeys finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ardovel
