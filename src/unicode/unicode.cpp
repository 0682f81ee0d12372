// Placeholder until the generated Unicode tables land: ASCII only.
#include "unicode/unicode.hpp"

namespace ardovel {

void to_lowercase(std::string_view text, Text& out) {
  out.clear();
  for (const char byte : text) out.push_back(byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 0x20) : byte);
}

bool is_alphabetic(Character c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_numeric(Character c) noexcept { return c >= '0' && c <= '9'; }
bool is_alphanumeric(Character c) noexcept { return is_alphabetic(c) || is_numeric(c); }
bool is_whitespace(Character c) noexcept { return c == ' ' || (c >= 0x09 && c <= 0x0D); }
bool is_cased(Character c) noexcept { return is_alphabetic(c); }
bool is_case_ignorable(Character c) noexcept { return c == '\'' || c == '.' || c == ':' || c == '^' || c == '`'; }

}  // namespace ardovel
