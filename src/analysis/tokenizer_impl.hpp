// The template definitions behind tokenizer.hpp; include that header instead.
#pragma once

#include "analysis/tokenizer.hpp"

namespace ardovel::analysis {

namespace detail {

// Calls a sink that returns void or bool; true means "go on".
template <class Sink, class Item>
bool deliver(Sink& sink, const Item& item) {
  if constexpr (std::is_void_v<std::invoke_result_t<Sink&, const Item&>>) {
    sink(item);
    return true;
  } else {
    return static_cast<bool>(sink(item));
  }
}

}  // namespace detail

template <Utf8Input Input>
typename TokenScanner<Input>::Step TokenScanner<Input>::step_at(std::size_t at) const noexcept {
  const unsigned char lead = bytes_[at];
  if (lead < 0x80) return {1, is_ascii_separator(lead)};
  std::size_t length;
  if constexpr (Input == Utf8Input::lenient) {
    length = well_formed_utf8_length(bytes_ + at, size_ - at);
    if (length == 0) return {1, true};
  } else {
    length = utf8::decode_length(lead);
  }
  std::size_t next = at;
  return {length, is_separator(utf8::decode(bytes_, next))};
}

template <Utf8Input Input>
bool TokenScanner<Input>::next(Token& token) noexcept {
  for (;;) {
    if (at_ >= size_) return false;
    const Step step = step_at(at_);
    if (!step.separator) break;
    at_ += step.length;
    ++chars_;
  }
  const std::size_t begin = at_;
  const std::size_t char_begin = chars_;
  // The separator that ends the token is left for the next call to skip.
  while (at_ < size_) {
    const unsigned char lead = bytes_[at_];
    if (lead < 0x80) {
      if (is_ascii_separator(lead)) break;
      ++at_;
    } else {
      const Step step = step_at(at_);
      if (step.separator) break;
      at_ += step.length;
    }
    ++chars_;
  }
  token.text = std::string_view(reinterpret_cast<const char*>(bytes_) + begin, at_ - begin);
  token.bytes = {begin, at_};
  token.chars = {char_begin, chars_};
  return true;
}

template <Utf8Input Input, class Sink>
bool for_each_token(std::string_view text, Sink&& sink) {
  TokenScanner<Input> scanner(text);
  for (Token token; scanner.next(token);) {
    if (!detail::deliver(sink, token)) return false;
  }
  return true;
}

}  // namespace ardovel::analysis
