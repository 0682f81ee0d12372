// Splitting a text into tokens.
//
// A token is a maximal run of characters none of which is a separator. The
// separators are the White_Space characters and the characters whose
// General_Category is punctuation (P*), symbol (S*) or control (Cc), by
// Unicode 16.0.0. Letters, marks, digits and format characters (soft hyphen,
// zero-width joiner) stay inside a token, so the stemmer sees them and drops
// them itself.
//
// Valid input is taken on trust; in lenient input every byte that does not
// start a well-formed sequence is a separator of its own, so a token only
// ever holds well-formed UTF-8 and nothing reads past the end.
//
// Nothing here allocates; a token is a view into the caller's text.
#pragma once

#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>

#include "ardovel/analyzer.hpp"
#include "ardovel/utf8.hpp"
#include "unicode/separator.hpp"

namespace ardovel::analysis {

// Hands out the tokens of one text in order, one at a time:
//
//   TokenScanner scanner(text);
//   for (Token token; scanner.next(token);) ...
//
// The scanner only reads `text`, which must outlive it.
template <Utf8Input Input = Utf8Input::valid>
class TokenScanner {
 public:
  explicit TokenScanner(std::string_view text) noexcept
      : bytes_(reinterpret_cast<const unsigned char*>(text.data())), size_(text.size()) {}
  // Resumes a walk at byte `at`, the end of a token or a separator, with
  // `chars` code points before it.
  TokenScanner(std::string_view text, std::size_t at, std::size_t chars) noexcept
      : bytes_(reinterpret_cast<const unsigned char*>(text.data())), size_(text.size()), at_(at), chars_(chars) {}
  [[nodiscard]] std::size_t position() const noexcept { return at_; }
  [[nodiscard]] std::size_t chars() const noexcept { return chars_; }
  // Whether the scan saw that the last token is its own NFKC: all of it
  // letters and digits of ASCII, Latin with diacritics (U+0100..U+017F) or
  // Cyrillic (U+0400..U+047F), and none of the few of those NFKC changes.
  // False only says that the scan could not tell.
  [[nodiscard]] bool plain() const noexcept { return plain_; }

  // Fills `token` with the next token and returns true, or returns false at
  // the end of the text.
  bool next(Token& token) noexcept;

 private:
  // The length in bytes of the character at byte `at` (one for an
  // ill-formed byte in lenient input), and whether it separates tokens.
  struct Step {
    std::size_t length;
    bool separator;
  };
  [[nodiscard]] Step step_at(std::size_t at) const noexcept;

  const unsigned char* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;     // byte offset of the next unread character
  std::size_t chars_ = 0;  // code points before at_
  bool plain_ = false;
};

// Calls `sink(const Token&)` for each token in order. A sink may return
// void, or bool to stop early by returning false; the result is false when
// a sink stopped the walk.
template <Utf8Input Input = Utf8Input::valid, class Sink>
bool for_each_token(std::string_view text, Sink&& sink);

}  // namespace ardovel::analysis

#include "analysis/tokenizer_impl.hpp"  // IWYU pragma: export
