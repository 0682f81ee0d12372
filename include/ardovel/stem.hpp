// Stemming one word: what `ardovel.stem_py` answers.
//
// A word is any valid UTF-8 text, taken whole: Cyrillic or Latin, any case,
// ekavian or ijekavian, with stray punctuation. Its stem is lower-case
// Latin. Nothing here fails on valid UTF-8; only std::bad_alloc can escape.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "ardovel/text.hpp"

namespace ardovel {

// Letting a host stop long work. A word of megabytes is stemmed in pieces,
// and the host is asked between them whether to go on. A host that unwinds
// with longjmp (PostgreSQL) must not do so through C++ frames, and one that
// checks for signals (Python) needs its lock to do so; so the work only
// asks, gives up when told, and leaves the host to act once it is back in
// its own code.
struct Interruption {
  // Whether the host wants the work abandoned; null for a host that never
  // does. Called on the thread doing the work.
  bool (*check)(void* context) noexcept = nullptr;
  void* context = nullptr;

  [[nodiscard]] explicit operator bool() const noexcept { return check != nullptr; }
  [[nodiscard]] bool requested() const noexcept { return check != nullptr && check(context); }
};

// About this many bytes of a word between two questions: well under a
// millisecond of work. Shorter words never ask.
inline constexpr std::size_t interruptible_piece = std::size_t{1} << 20;

// Stems words into scratch of its own, so a run of words allocates nothing
// per word (the scratch grows only for a word longer than any before it).
// One Stemmer belongs to one thread at a time.
class Stemmer {
 public:
  // The stem of `word` (valid UTF-8), valid until the next call on this
  // stemmer and while `word` lives.
  [[nodiscard]] std::string_view stem(std::string_view word);

  // The same, asking `interruption` between pieces of a word of megabytes:
  // nothing when it asked to stop.
  [[nodiscard]] std::optional<std::string_view> stem(std::string_view word, const Interruption& interruption);

 private:
  Text scratch_;
};

// The stem of `word` as a string of its own.
[[nodiscard]] std::string stem_word(std::string_view word);

}  // namespace ardovel
