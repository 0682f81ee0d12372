// The text layer over the stemmer: tokens, their stems, stop words.
//
// Every kept token's stem is exactly what stem_word gives for the token as
// written; a token whose stem is empty, or whose normalised form is a stop
// word, is left out. Front ends (Python, the command line, SQLite,
// PostgreSQL) call this and never see a suffix.
//
// One Analyzer belongs to one thread at a time: it owns the scratch texts
// the stemmer writes into, so a whole text is analysed without allocating
// per token (a scratch grows only for a token longer than any before it).
// Only std::bad_alloc, or whatever a sink throws, can escape.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

#include "analysis/stopwords.hpp"
#include "analysis/tokenizer.hpp"
#include "stemmer/interruption.hpp"
#include "unicode/text.hpp"

namespace ardovel::analysis {

// The form the stemmer holds after lowercasing, transliteration, the "ije"
// reduction and the character filter, before the prefix and suffix stages:
// exactly normalise_into's result. `word` is valid UTF-8; `out` is
// overwritten and the view points into it.
std::string_view normalise_word(std::string_view word, Text& out);

// A kept token and its stem. `stem` points into the analyzer's scratch (or
// into constant data, or into the text itself) and is valid only until the
// sink returns.
struct Term {
  Token token;
  std::string_view stem;
};

class Analyzer {
 public:
  Analyzer() = default;  // no stop words
  explicit Analyzer(StopWords stop_words) noexcept : stop_words_(std::move(stop_words)) {}

  // Calls `sink(const Term&)` for each kept token of `text`, in order. A
  // sink may return void, or bool to stop early by returning false; the
  // result is false when a sink stopped the walk.
  template <Utf8Input Input = Utf8Input::valid, class Sink>
  bool analyze(std::string_view text, Sink&& sink);

  // The stem of one token (valid UTF-8, taken whole as one word), or an empty
  // view when the token is left out: its stem is empty, or it is a stop
  // word. The view is valid until the next call on this analyzer.
  [[nodiscard]] std::string_view stem_token(std::string_view token);

  // Whether `word` (valid UTF-8) is one of this analyzer's stop words.
  [[nodiscard]] bool is_stop_word(std::string_view word);

  // Asked while a token of megabytes is stemmed. When it asks to stop, the
  // token counts as left out, analyze() stops at once and returns false,
  // and interrupted() says so until the interruption is set again.
  void set_interruption(Interruption interruption) noexcept {
    interruption_ = interruption;
    interrupted_ = false;
  }
  [[nodiscard]] bool interrupted() const noexcept { return interrupted_; }

  // Gives back scratch memory beyond `most` bytes, which a long token made
  // the analyzer take: a host that keeps an analyzer between calls (a
  // database session) does not keep a one-off block too. Ends the validity
  // of the last stem.
  void shrink_scratch(std::size_t most) noexcept {
    stem_scratch_.clear_and_shrink(most);
    normal_scratch_.clear_and_shrink(most);
  }

  [[nodiscard]] const StopWords& stop_words() const noexcept { return stop_words_; }

 private:
  StopWords stop_words_;
  Text stem_scratch_;
  Text normal_scratch_;
  Interruption interruption_;
  bool interrupted_ = false;
};

}  // namespace ardovel::analysis

#include "analysis/analyzer_impl.hpp"  // IWYU pragma: export
