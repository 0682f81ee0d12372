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

// Bytes that a token's scan can pass without looking further: ASCII that
// is not a separator, and in valid UTF-8 also the lead byte of a two-byte
// row with no separator in it (all of U+0100..U+017F, Latin with
// diacritics, and U+0400..U+047F, Cyrillic), and continuation bytes, which
// belong to a character whose lead was already judged. In lenient input a
// continuation byte may stand alone, so only ASCII passes there.
struct InnerBytes {
  bool inner[256];
};

constexpr InnerBytes inner_bytes(Utf8Input input) noexcept {
  InnerBytes table{};
  for (unsigned byte = 0; byte < 0x80; ++byte) table.inner[byte] = !is_ascii_separator(static_cast<unsigned char>(byte));
  if (input == Utf8Input::valid) {
    for (unsigned byte = 0x80; byte < 0xC0; ++byte) table.inner[byte] = true;
    for (unsigned lead = 0xC2; lead < 0xE0; ++lead) {
      bool any = false;
      for (unsigned bit = 0; bit < 64; ++bit) any = any || is_low_separator(lead & 31U, bit);
      table.inner[lead] = !any;
    }
  }
  return table;
}

template <Utf8Input Input>
inline constexpr InnerBytes INNER_BYTES = inner_bytes(Input);

}  // namespace detail

template <Utf8Input Input>
typename TokenScanner<Input>::Step TokenScanner<Input>::step_at(std::size_t at) const noexcept {
  const unsigned char* const here = bytes_ + at;
  const unsigned char lead = here[0];
  // Characters of one or two bytes (ASCII, Latin with diacritics, Cyrillic)
  // are nearly all of Serbian text, and they mix within words, so they
  // share one path: one bit of one table, found from the bytes without
  // decoding.
  const unsigned char second = at + 1 < size_ ? here[1] : 0;
  const bool ascii = lead < 0x80;
  bool short_form = ascii || lead < 0xE0;
  if constexpr (Input == Utf8Input::lenient) {
    short_form = ascii || (lead >= 0xC2 && lead < 0xE0 && (second & 0xC0U) == 0x80U);
  }
  if (short_form) {
    const unsigned word = ascii ? lead >> 6 : lead;
    const unsigned bit = ascii ? lead : second;
    return {ascii ? 1U : 2U, is_low_separator(word, bit)};
  }
  std::size_t length;
  if constexpr (Input == Utf8Input::lenient) {
    length = well_formed_utf8_length(here, size_ - at);
    if (length == 0) return {1, true};
  } else {
    length = utf8::decode_length(lead);
  }
  std::size_t after = 0;
  return {length, is_separator(utf8::decode(here, after))};
}

template <Utf8Input Input>
bool TokenScanner<Input>::next(Token& token) noexcept {
  // Locals, not members, in the loops: the compiler must assume that a store
  // to a member may change the bytes it reads, and the reverse.
  std::size_t at = at_;
  std::size_t chars = chars_;
  for (;; ++chars) {
    if (at >= size_) {
      at_ = at;
      chars_ = chars;
      return false;
    }
    const Step step = step_at(at);
    if (!step.separator) break;
    at += step.length;
  }
  const std::size_t begin = at;
  const std::size_t char_begin = chars;
  // The separator that ends the token is left for the next call to skip.
  const bool* const inner = detail::INNER_BYTES<Input>.inner;
  for (;;) {
    while (at < size_ && inner[bytes_[at]]) chars += !utf8::is_continuation(bytes_[at++]);
    if (at >= size_) break;
    const Step step = step_at(at);
    if (step.separator) break;
    at += step.length;
    ++chars;
  }
  at_ = at;
  chars_ = chars;
  token.text = std::string_view(reinterpret_cast<const char*>(bytes_) + begin, at - begin);
  token.bytes = {begin, at};
  token.chars = {char_begin, chars};
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
