// libFuzzer target for the tokenizer, against a plain walk that judges one
// character at a time. The scanner passes many bytes at once where it can
// (sixteen at a time, and whole rows of two-byte letters); the plain walk
// never does, so any shortcut that misjudges a byte shows up as a
// difference. For every input: in lenient mode on the bytes as given, and
// in valid mode on the bytes made valid UTF-8, the tokens' byte and code
// point spans are exactly the plain walk's.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/tokenizer.hpp"
#include "ardovel/utf8.hpp"
#include "fuzz_input.hpp"
#include "unicode/separator.hpp"

namespace {

using ardovel::analysis::for_each_token;
using ardovel::Span;
using ardovel::Token;
using ardovel::Utf8Input;

struct Found {
  Span bytes;
  Span chars;
  friend bool operator==(const Found&, const Found&) = default;
};

void end_last(std::vector<Found>& found, std::size_t byte, std::size_t chars) {
  found.back().bytes.end = byte;
  found.back().chars.end = chars;
}

// A byte that starts no well-formed sequence (only in lenient input) is a
// separator of its own and counts as one position.
std::vector<Found> plain_tokens(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::vector<Found> found;
  bool inside = false;
  std::size_t chars = 0;
  for (std::size_t at = 0; at < text.size(); ++chars) {
    std::size_t length = ardovel::well_formed_utf8_length(bytes + at, text.size() - at);
    bool separator = true;
    if (length == 0) {
      length = 1;
    } else {
      std::size_t next = at;
      separator = ardovel::is_separator(ardovel::utf8::decode(bytes, next));
    }
    if (!separator && !inside) found.push_back({{at, 0}, {chars, 0}});
    if (separator && inside) end_last(found, at, chars);
    inside = !separator;
    at += length;
  }
  if (inside) end_last(found, text.size(), chars);
  return found;
}

template <Utf8Input Input>
void check(std::string_view text) {
  std::vector<Found> got;
  for_each_token<Input>(text, [&](const Token& token) {
    if (token.text.data() != text.data() + token.bytes.begin || token.text.size() != token.bytes.end - token.bytes.begin) {
      ardovel::fuzz::invariant_failed("a token's text is its byte span", text, token.text);
    }
    got.push_back({token.bytes, token.chars});
  });
  if (got != plain_tokens(text)) {
    ardovel::fuzz::invariant_failed(Input == Utf8Input::valid ? "valid-mode tokens differ from the plain walk"
                                                              : "lenient-mode tokens differ from the plain walk",
                                    text, std::to_string(got.size()) + " tokens");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check<Utf8Input::lenient>(std::string_view(reinterpret_cast<const char*>(data), size));
  check<Utf8Input::valid>(ardovel::fuzz::to_valid_utf8(data, size));
  return 0;
}
