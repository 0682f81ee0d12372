// Splitting a text into tokens.
//
// A token is a maximal run of characters none of which is a separator. The
// separators are the White_Space characters and the characters whose
// General_Category is punctuation (P*), symbol (S*) or control (Cc), by
// Unicode 16.0.0. Letters, marks, digits and format characters (soft hyphen,
// zero-width joiner) stay inside a token, so the stemmer sees them and drops
// them itself.
//
// Two kinds of input:
//  - valid UTF-8 (from Python, or already checked): taken on trust;
//  - lenient (SQLite hands over whatever bytes a row holds): every byte that
//    does not start a well-formed sequence is a separator of its own, so a
//    token only ever holds well-formed UTF-8 and nothing reads past the end.
//
// Nothing here allocates; a token is a view into the caller's text.
#pragma once

#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>

#include "unicode/separator.hpp"
#include "unicode/utf8.hpp"
#include "unicode/utf8_validate.hpp"

namespace ardovel::analysis {

// Half-open [begin, end).
struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
  friend bool operator==(const Span&, const Span&) = default;
};

struct Token {
  std::string_view text;  // the token as written: a view into the input
  Span bytes;             // byte offsets into the input
  // Code-point offsets into the input, for hosts that count characters
  // (Python's str indices). In lenient input each byte that does not start
  // a well-formed sequence counts as one position, as Python's
  // "surrogateescape" decoding would count it.
  Span chars;
};

enum class Utf8Input {
  valid,    // the caller guarantees well-formed UTF-8
  lenient,  // anything; ill-formed bytes separate tokens
};

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
};

// Calls `sink(const Token&)` for each token in order. A sink may return
// void, or bool to stop early by returning false; the result is false when
// a sink stopped the walk.
template <Utf8Input Input = Utf8Input::valid, class Sink>
bool for_each_token(std::string_view text, Sink&& sink);

}  // namespace ardovel::analysis

#include "analysis/tokenizer_impl.hpp"  // IWYU pragma: export
