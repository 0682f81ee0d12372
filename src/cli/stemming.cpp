#include "stemming.hpp"

#include <charconv>
#include <exception>
#include <iterator>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

#include "ardovel/utf8.hpp"
#include "input.hpp"

namespace ardovel::cli {

void append_pair(std::size_t number, std::string_view token, std::string_view stem, std::string& out) {
  char digits[std::numeric_limits<std::size_t>::digits10 + 1];
  const std::to_chars_result end = std::to_chars(std::begin(digits), std::end(digits), number);
  out.append(digits, end.ptr).append(1, '\t').append(token).append(1, '\t').append(stem).push_back('\n');
}

namespace {

// The offset of the first ill-formed byte in line[from, to), or `npos`.
std::size_t find_invalid_between(std::string_view line, std::size_t from, std::size_t to) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data()) + from;
  const std::size_t found = find_invalid_utf8(bytes, to - from);
  return found == to - from ? std::string_view::npos : from + found;
}

}  // namespace

// Tokens are found by the lenient scan, which takes an ill-formed byte for a
// separator and so never puts one inside a token: only the bytes between the
// kept tokens need checking, and the line is read once instead of twice.
std::size_t Answerer::answer_unchecked(std::string_view line, std::size_t number, std::string& out) {
  if (mode_ == Mode::lines) {
    const std::size_t invalid = find_invalid_utf8(reinterpret_cast<const unsigned char*>(line.data()), line.size());
    if (invalid == line.size()) (void)answer(line, number, out, [] { return true; });
    return invalid;
  }
  const std::size_t answers_start = out.size();
  std::size_t checked = 0;  // the line is well-formed up to here
  std::size_t invalid = std::string_view::npos;
  const auto check_and_append = [&](const Term& term) {
    invalid = find_invalid_between(line, checked, term.token.bytes.begin);
    if (invalid != std::string_view::npos) return false;
    checked = term.token.bytes.end;
    append(term, number, out);
    return true;
  };
  analyzer_.analyze(line, check_and_append, Utf8Input::lenient);
  if (invalid == std::string_view::npos) invalid = find_invalid_between(line, checked, line.size());
  if (invalid == std::string_view::npos) return line.size();
  out.resize(answers_start);
  return invalid;
}

namespace {

std::size_t count_line_ends(std::string_view text) noexcept {
  std::size_t count = 0;
  for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) ++count;
  return count;
}

}  // namespace

// No token holds a line end, so the tokens of whole lines are those of each
// line in turn: the share is checked once and, up to the line of its first
// ill-formed byte, analysed in one call that takes it as valid.
void Share::stem_tokens() {
  const std::string_view lines_text = last ? text : text.substr(0, text.rfind('\n') + 1);
  const auto* bytes = reinterpret_cast<const unsigned char*>(lines_text.data());
  const std::size_t bad = find_invalid_utf8(bytes, lines_text.size());
  std::string_view good = lines_text;
  if (bad != lines_text.size()) {
    invalid = bad;
    line_start = text.rfind('\n', bad) + 1;  // npos + 1 is 0
    good = text.substr(0, line_start);
  }
  answerer.answer_valid_tokens(good, out);
  lines = count_line_ends(good);
}

void Share::stem() {
  out.clear();
  lines = 0;
  invalid = text.size();
  line_start = 0;
  if (answerer.mode() == Mode::tokens) {
    stem_tokens();
    return;
  }
  for (std::size_t at = 0; at < text.size();) {
    const FirstLine first = first_line(text.substr(at));
    if (!first.ended && !last) break;
    const std::size_t bad = answerer.answer_unchecked(first.line, first_line_number + lines, out);
    if (bad != first.line.size()) {
      invalid = at + bad;
      line_start = at;
      return;
    }
    lines += first.ended ? 1 : 0;
    at += first.size;
  }
}

std::size_t cut_into_shares(std::string_view block, bool last, std::span<Share> shares, std::size_t min_share) {
  const std::size_t size = block.size();
  const std::size_t wanted = size < min_share * 2 ? 1 : std::min(shares.size(), size / min_share);
  std::size_t begin = 0;
  std::size_t used = 0;
  for (std::size_t i = 0; i < wanted && begin < size; ++i) {
    std::size_t end = size;
    if (i + 1 < wanted) {
      const std::size_t newline = block.find('\n', begin + (size - begin) / (wanted - i));
      if (newline != std::string_view::npos) end = newline + 1;
    }
    Share& share = shares[used++];
    share.text = block.substr(begin, end - begin);
    share.last = last && end == size;
    begin = end;
  }
  return used;
}

void run_in_parallel(std::size_t count, const std::function<void(std::size_t)>& task) {
  std::vector<std::exception_ptr> failures(count);
  const auto run = [&](std::size_t i) noexcept {
    try {
      task(i);
    } catch (...) {
      failures[i] = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  helpers.reserve(count);  // no allocation once threads run
  for (std::size_t i = 1; i < count; ++i) {
    try {
      helpers.emplace_back(run, i);
    } catch (const std::system_error&) {
      // No thread to be had: this one does the rest.
      for (std::size_t j = i; j < count; ++j) run(j);
      break;
    }
  }
  run(0);
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace ardovel::cli
