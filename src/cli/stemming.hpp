// Answering lines: one stem per line, or per white-space separated token
// with --tokens, each on a line of its own; a block is cut into shares that
// are stemmed in parallel and written in order.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "unicode/text.hpp"
#include "unicode/unicode.hpp"
#include "unicode/utf8.hpp"

namespace ardovel::cli {

[[nodiscard]] constexpr bool is_ascii_space(unsigned char byte) noexcept {
  return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

// Calls `sink` with every token of a valid UTF-8 `line`: the runs between
// Unicode White_Space characters, as the core defines them.
template <class Sink>
void for_each_token(std::string_view line, Sink&& sink) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t size = line.size();
  std::size_t at = 0;
  std::size_t token_start = 0;
  bool in_token = false;
  while (at < size) {
    const std::size_t char_start = at;
    bool space;
    if (bytes[at] < 0x80) {
      space = is_ascii_space(bytes[at]);
      ++at;
    } else {
      space = is_whitespace(utf8::decode(bytes, at));
    }
    if (space) {
      if (in_token) sink(line.substr(token_start, char_start - token_start));
      in_token = false;
    } else if (!in_token) {
      in_token = true;
      token_start = char_start;
    }
  }
  if (in_token) sink(line.substr(token_start));
}

// Appends the stem of `word` and a line end; `scratch` is the stemmer's.
void append_stem(std::string_view word, Text& scratch, std::string& out);

// Appends the answers to the lines of valid UTF-8 `text`: every
// "\n"-terminated line and, when `last`, the text after the final "\n" too.
// Returns the count of "\n"-terminated lines.
std::size_t append_answers(std::string_view text, bool last, bool tokens, Text& scratch, std::string& out);

// A part of a block, stemmed on a thread of its own.
struct Share {
  std::string_view text;
  bool last = false;           // ends the input (its tail is a line)
  std::string out;             // the answers
  std::size_t lines = 0;       // "\n"-terminated lines answered
  std::size_t invalid = 0;     // first ill-formed byte; text.size() if none
  std::size_t line_start = 0;  // start of the line holding it
  Text scratch;

  // Validates the text, then answers every line before the first invalid one.
  void stem(bool tokens);
  [[nodiscard]] bool valid() const noexcept { return invalid == text.size(); }
};

// Cuts `block` into at most shares.size() shares, each ending at a line end
// and none (but a lone one) smaller than `min_share`. Returns how many.
std::size_t cut_into_shares(std::string_view block, bool last, std::span<Share> shares, std::size_t min_share);

// Calls task(0) .. task(count - 1), each task after the first on a thread of
// its own (or on this one, when no thread can be had), and returns once all
// have finished. An exception from any task is caught on its thread and, once
// every thread has been joined, the one from the lowest task is rethrown.
void run_in_parallel(std::size_t count, const std::function<void(std::size_t)>& task);

}  // namespace ardovel::cli
