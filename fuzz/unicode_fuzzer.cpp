// libFuzzer target for the UTF-8 character services and the Text buffer.
//
// The services have fast paths (a block-converted ASCII prefix, word-at-a-time
// counting, an inline buffer that moves to the heap at a fixed size); this
// target checks each against the plain character-by-character meaning:
// - to_lowercase gives valid UTF-8 equal to lowercasing each character on its
//   own, with final sigma decided by scanning the input's neighbours; it is
//   idempotent; only U+0130 adds a character;
// - char_count counts lead bytes;
// - ends_with_char, pop_char and push_char agree on the last character;
// - the predicates agree with each other and with ASCII;
// - Text copies, moves and assignments across the inline/heap boundary keep
//   their bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "ardovel/text.hpp"
#include "fuzz_input.hpp"
#include "reference/reference_stem.hpp"
#include "unicode/unicode.hpp"

namespace {

using ardovel::Character;
using ardovel::is_valid_utf8;
using ardovel::Text;
using ardovel::fuzz::invariant_failed;
using ardovel::fuzz::mismatch;

std::string encode(Character c) {
  std::string out;
  ardovel::reference::append_utf8(out, c);
  return out;
}

bool sigma_is_final(const std::u32string& text, std::size_t at) {
  std::size_t before = at;
  while (before > 0 && ardovel::is_case_ignorable(text[before - 1])) --before;
  if (before == 0 || !ardovel::is_cased(text[before - 1])) return false;
  std::size_t after = at + 1;
  while (after < text.size() && ardovel::is_case_ignorable(text[after])) ++after;
  return after == text.size() || !ardovel::is_cased(text[after]);
}

std::string lowercase_one_by_one(const std::u32string& text) {
  std::string out;
  Text single;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == 0x03A3) {
      out += encode(sigma_is_final(text, i) ? 0x03C2 : 0x03C3);
      continue;
    }
    ardovel::to_lowercase(encode(text[i]), single);
    out += single.view();
  }
  return out;
}

void check_lowercase(const std::string& text, const std::u32string& characters) {
  Text lower;
  lower.append("stale bytes that must be overwritten");
  ardovel::to_lowercase(text, lower);
  if (!is_valid_utf8(lower.view())) invariant_failed("to_lowercase gave invalid UTF-8", text, lower.view());
  const std::string expected = lowercase_one_by_one(characters);
  if (lower.view() != expected) mismatch("to_lowercase differs from per-character lowercasing", text, lower.view(), expected);

  Text twice;
  ardovel::to_lowercase(lower.view(), twice);
  if (twice.view() != lower.view()) mismatch("to_lowercase is not idempotent", text, twice.view(), lower.view());

  std::size_t dotted_capitals = 0;
  for (const Character c : characters) dotted_capitals += c == 0x0130 ? 1 : 0;
  if (ardovel::char_count(lower.view()) != characters.size() + dotted_capitals) {
    invariant_failed("to_lowercase changed the character count", text, lower.view());
  }
}

void check_end_of_text(const std::string& text, const std::u32string& characters) {
  if (ardovel::char_count(text) != characters.size()) invariant_failed("char_count is wrong", text, "");
  if (characters.empty()) {
    if (ardovel::ends_with_char(text, U'a')) invariant_failed("empty text ends with a character", text, "");
    Text empty;
    ardovel::pop_char(empty);
    if (!empty.empty()) invariant_failed("pop_char of empty text left bytes", text, empty.view());
    return;
  }
  const Character last = characters.back();
  if (!ardovel::ends_with_char(text, last)) invariant_failed("text does not end with its last character", text, "");
  const Character other = last == U'x' ? U'y' : U'x';
  if (ardovel::ends_with_char(text, other)) invariant_failed("text ends with a character it does not end with", text, "");

  Text work(text);
  ardovel::pop_char(work);
  const std::size_t last_length = encode(last).size();
  if (work.view() != std::string_view(text).substr(0, text.size() - last_length)) {
    invariant_failed("pop_char removed the wrong bytes", text, work.view());
  }
  ardovel::push_char(work, last);
  if (work.view() != text) mismatch("push_char did not restore the text", text, work.view(), text);
}

void check_predicates(const std::string& text, const std::u32string& characters) {
  for (const Character c : characters) {
    const bool alphabetic = ardovel::is_alphabetic(c);
    const bool numeric = ardovel::is_numeric(c);
    if (ardovel::is_alphanumeric(c) != (alphabetic || numeric)) invariant_failed("is_alphanumeric disagrees", text, encode(c));
    if (c < 0x80) {
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      const bool digit = c >= '0' && c <= '9';
      const bool space = c == ' ' || (c >= 0x09 && c <= 0x0D);
      if (alphabetic != letter || numeric != digit || ardovel::is_whitespace(c) != space ||
          ardovel::is_cased(c) != letter) {
        invariant_failed("an ASCII class is wrong", text, encode(c));
      }
    }
    // White space is neither letter nor digit, with no exception.
    if (ardovel::is_whitespace(c) && (alphabetic || numeric)) invariant_failed("white space is alphanumeric", text, encode(c));
  }
}

void check_text_buffer(const std::string& text) {
  Text original(text);
  Text copy(original);
  Text moved(std::move(copy));
  if (moved.view() != text || !copy.empty()) invariant_failed("Text copy or move lost bytes", text, moved.view());
  Text assigned("short");
  assigned = original;
  assigned = std::move(moved);
  auto& self = assigned;
  assigned = self;
  if (assigned.view() != text) invariant_failed("Text assignment lost bytes", text, assigned.view());
  // Grow one byte at a time through the inline capacity, then cut back.
  Text grown;
  for (const char byte : text) grown.push_back(byte);
  grown.append(text);
  grown.truncate(text.size());
  if (grown.view() != text) invariant_failed("Text growth lost bytes", text, grown.view());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = ardovel::fuzz::to_valid_utf8(data, size);
  const std::u32string characters = ardovel::reference::decode_utf8(text);
  check_lowercase(text, characters);
  check_end_of_text(text, characters);
  check_predicates(text, characters);
  check_text_buffer(text);
  return 0;
}
