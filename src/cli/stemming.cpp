#include "cli/stemming.hpp"

#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/input.hpp"
#include "stemmer/stem.hpp"
#include "unicode/utf8_validate.hpp"

namespace ardovel::cli {

void append_stem(std::string_view word, Text& scratch, std::string& out) {
  out.append(stem_word_into(word, scratch));
  out.push_back('\n');
}

std::size_t append_answers(std::string_view text, bool last, bool tokens, Text& scratch, std::string& out) {
  std::size_t lines = 0;
  while (!text.empty()) {
    const FirstLine first = first_line(text);
    if (!first.ended && !last) break;
    lines += first.ended ? 1 : 0;
    if (tokens) {
      for_each_token(first.line, [&](std::string_view token) { append_stem(token, scratch, out); });
    } else {
      append_stem(first.line, scratch, out);
    }
    text.remove_prefix(first.size);
  }
  return lines;
}

void Share::stem(bool tokens) {
  out.clear();
  lines = 0;
  line_start = 0;
  invalid = find_invalid_utf8(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  if (valid()) {
    lines = append_answers(text, last, tokens, scratch, out);
    return;
  }
  const std::string_view before = text.substr(0, invalid);
  const std::size_t newline = before.rfind('\n');
  line_start = newline == std::string_view::npos ? 0 : newline + 1;
  lines = append_answers(text.substr(0, line_start), false, tokens, scratch, out);
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
