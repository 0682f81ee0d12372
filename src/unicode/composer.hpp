// The decompose-reorder-compose step of NFKC, for the stretches of text
// that are not left as they are. Shared by the normalizer and the accent
// drop; not part of the interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "unicode/normalization.hpp"
#include "ardovel/text.hpp"
#include "ardovel/utf8.hpp"

namespace ardovel::normalization {

// A word of text bytes, wherever it starts: the scans for the common case
// read the text eight bytes at a time.
template <class Word>
Word load(const unsigned char* bytes) noexcept {
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// Takes decomposed characters one at a time, keeps the current starter and
// the characters after it in canonical order, and writes them out composed
// once the next character shows that nothing more can join them. A starter
// takes few marks in any real text, so they stay on the stack; a longer
// run moves to the heap.
class Composer {
 public:
  explicit Composer(Text& out) noexcept : out_(out) {}
  Composer(const Composer&) = delete;
  Composer& operator=(const Composer&) = delete;
  ~Composer() = default;

  // Adds `c` fully decomposed: by arithmetic for a Hangul syllable, by the
  // table for the rest.
  void add(Character c) {
    if (is_hangul_syllable(c)) {
      const Character index = c - HANGUL_FIRST;
      constexpr Character per_l = HANGUL_V_COUNT * HANGUL_T_COUNT;
      add_decomposed(HANGUL_L + index / per_l);
      add_decomposed(HANGUL_V + index % per_l / HANGUL_T_COUNT);
      if (index % HANGUL_T_COUNT != 0) add_decomposed(HANGUL_T + index % HANGUL_T_COUNT);
      return;
    }
    const DecompositionBytes found = decomposition_bytes(c);
    if (found.size == 0) {
      add_decomposed(c);
      return;
    }
    for (std::size_t at = 0; at < found.size;) add_decomposed(utf8::decode(found.bytes, at));
  }

  // Adds a character that has no decomposition.
  void add_decomposed(Character c) {
    const unsigned value = properties(c);
    const unsigned rank = value >> 2;
    // A starter that does not compose with what comes before it closes the
    // stretch: nothing after it can reach back past it.
    if (rank == 0 && (value & 3U) != tables::QUICK_CHECK_MAYBE && size_ != 0) flush();
    if (size_ == capacity_) grow();
    // Canonical ordering: a mark moves before the marks of higher class
    // before it, never past a starter (rank 0).
    std::size_t at = size_++;
    if (rank != 0) {
      for (; at > 0 && entries_[at - 1].rank > rank; --at) entries_[at] = entries_[at - 1];
    }
    entries_[at] = {c, rank};
  }

  // Composes what is held and writes it out.
  void flush() {
    if (size_ == 0) return;
    compose_held();
    for (std::size_t i = 0; i < size_; ++i) utf8::append(out_, entries_[i].c);
    size_ = 0;
  }

 private:
  struct Entry {
    Character c;
    unsigned rank;
  };

  static constexpr std::size_t inline_entries = 32;
  static constexpr std::size_t none = ~std::size_t{0};

  // Canonical composition: each character composes with the last starter
  // when no character left between them is a starter or of its class or
  // higher.
  void compose_held() noexcept {
    std::size_t starter = entries_[0].rank == 0 ? 0 : none;
    // 256 stands for "blocked": held text that starts with a mark.
    unsigned last_rank = starter == none ? 256 : 0;
    std::size_t kept = 1;
    for (std::size_t i = 1; i < size_; ++i) {
      const Entry entry = entries_[i];
      if (starter != none && (last_rank < entry.rank || last_rank == 0)) {
        const Character composite = compose(entries_[starter].c, entry.c);
        if (composite != 0) {
          entries_[starter].c = composite;
          continue;
        }
      }
      if (entry.rank == 0) starter = kept;
      last_rank = entry.rank;
      entries_[kept++] = entry;
    }
    size_ = kept;
  }

  void grow() {
    const std::size_t capacity = capacity_ * 2;
    std::unique_ptr<Entry[]> bigger(new Entry[capacity]);
    for (std::size_t i = 0; i < size_; ++i) bigger[i] = entries_[i];
    heap_ = std::move(bigger);
    entries_ = heap_.get();
    capacity_ = capacity;
  }

  Text& out_;
  Entry inline_[inline_entries];
  std::unique_ptr<Entry[]> heap_;
  Entry* entries_ = inline_;
  std::size_t size_ = 0;
  std::size_t capacity_ = inline_entries;
};

}  // namespace ardovel::normalization
