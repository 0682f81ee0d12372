// Answering lines: the stem of each whole line, or of each token the text
// layer keeps; a block is cut into shares that are answered in parallel and
// written in order.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "ardovel/analyzer.hpp"

namespace ardovel::cli {

enum class Mode {
  lines,   // the stem of each whole line, on a line of its own
  tokens,  // the stem of each kept token, on a line of its own
  pairs,   // "LINE<TAB>TOKEN<TAB>STEM" for each kept token
};

// Answers lines in one mode. It owns the stemmer's scratch, so each thread
// needs its own.
class Answerer {
 public:
  Answerer() = default;  // whole lines, no stop words
  Answerer(Mode mode, const AnalyzerOptions& options) : mode_(mode), analyzer_(options) {}

  [[nodiscard]] Mode mode() const noexcept { return mode_; }

  // Appends the answers to one valid UTF-8 line (its line end taken off),
  // `number` being its line number for pairs. After each answer, `go_on()`
  // may flush `out`; returning false stops the line, and the result is false.
  template <class GoOn>
  bool answer(std::string_view line, std::size_t number, std::string& out, GoOn&& go_on);

  // The answer to a valid UTF-8 line in whole-line mode, without its line
  // end; valid until the next call.
  [[nodiscard]] std::string_view stem_line(std::string_view line) { return analyzer_.key(line); }

  // answer() for a line not yet checked as UTF-8. Returns the offset of its
  // first byte that starts no well-formed sequence, having appended nothing,
  // or line.size() once the answers are appended.
  std::size_t answer_unchecked(std::string_view line, std::size_t number, std::string& out);

  // In token mode, appends the answers to whole lines of valid UTF-8.
  void answer_valid_tokens(std::string_view lines, std::string& out) {
    analyzer_.analyze(lines, [&](const Term& term) { append(term, 0, out); });
  }

 private:
  void append(const Term& term, std::size_t number, std::string& out) const;

  Mode mode_ = Mode::lines;
  Analyzer analyzer_;
};

// "LINE<TAB>TOKEN<TAB>STEM\n". A token never holds a tab or a line end: both
// separate tokens.
void append_pair(std::size_t number, std::string_view token, std::string_view stem, std::string& out);

inline void Answerer::append(const Term& term, std::size_t number, std::string& out) const {
  if (mode_ == Mode::pairs) {
    append_pair(number, term.token.text, term.key, out);
  } else {
    out.append(term.key).push_back('\n');
  }
}

template <class GoOn>
bool Answerer::answer(std::string_view line, std::size_t number, std::string& out, GoOn&& go_on) {
  if (mode_ == Mode::lines) {
    // A stop word gives an empty line, so that answers still match lines.
    out.append(stem_line(line)).push_back('\n');
    return go_on();
  }
  return analyzer_.analyze(line, [&](const Term& term) {
    append(term, number, out);
    return go_on();
  });
}

// A part of a block, answered on a thread of its own.
struct Share {
  std::string_view text;
  bool last = false;                  // ends the input (its tail is a line)
  std::size_t first_line_number = 1;  // pairs show it
  std::string out;                    // the answers
  std::size_t lines = 0;              // "\n"-terminated lines answered
  std::size_t invalid = 0;            // first ill-formed byte; text.size() if none
  std::size_t line_start = 0;         // start of the line holding it
  Answerer answerer;

  // Answers every "\n"-terminated line (and, when `last`, the text after the
  // final "\n") up to the first that is not valid UTF-8.
  void stem();
  [[nodiscard]] bool valid() const noexcept { return invalid == text.size(); }

 private:
  void stem_tokens();
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
