// Shared by the fuzz targets: turning arbitrary bytes into valid UTF-8, and
// reporting broken invariants.
//
// The core only ever sees valid UTF-8 (the module takes it from a Python str),
// so the targets must feed it nothing else. Valid input passes through
// untouched, which keeps dictionary words in the seed corpus meaningful. Each
// byte that cannot start a valid sequence is replaced by one character from
// a table of characters that the core treats specially, so that random high
// bytes reach final sigma, U+0130, length-changing case mappings, Cyrillic
// digraphs, exotic white space and combining marks far more often than an
// even spread over the code space would.
#pragma once

#include "ardovel/utf8.hpp"
#include "reference/reference_stem.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace ardovel::fuzz {

using reference::append_utf8;

// Characters with a rule of their own somewhere in the core.
inline constexpr char32_t special_characters[] = {
    0x03A3, 0x03C3, 0x03C2, 0x0391, 0x039F,          // sigma and Greek capitals around it
    0x0130, 0x0307, 0x0301, 0x030C, 0x0308, 0x0300,  // U+0130 and combining marks
    0x0345, 0x02B0, 0x0363, 0x00AD, 0x200D, 0x0027,  // cased and case-ignorable, ignorable only
    0x212A, 0x023A, 0x023E, 0x2C62, 0x1E9E, 0x00DF,  // mappings that change byte length
    0x01C4, 0x01C5, 0x01C7, 0x01C8, 0x01CA, 0x01CB,  // Latin digraph letters
    0x0409, 0x040A, 0x040F, 0x0459, 0x045A, 0x045F,  // Cyrillic Љ Њ Џ љ њ џ
    0x0402, 0x0403, 0x0408, 0x040B, 0x0416, 0x0428,  // Ђ Ѓ Ј Ћ Ж Ш
    0x0427, 0x0446, 0x0438, 0x0458, 0x0435, 0x0430,  // Ч ц и ј е а
    0x010D, 0x0107, 0x0161, 0x017E, 0x0111, 0x010C,  // č ć š ž đ Č
    0x0085, 0x00A0, 0x1680, 0x2000, 0x200A, 0x2028,  // white space beyond ASCII
    0x2029, 0x202F, 0x205F, 0x3000, 0x180E, 0x200B,  // ... and look-alikes that are not
    0x2060, 0xFEFF, 0x001C, 0x0000, 0x000A, 0x0009,
    0x00B2, 0x00BD, 0x0660, 0x2160, 0x3007, 0x4E00,  // numeric classes
    0x24B6, 0x1F130, 0x093E, 0x00AA, 0x00BA, 0xFFFD,  // alphabetic symbols and marks
    0x1C89, 0xA7CB, 0xA7DC, 0x10D50, 0x1E921, 0x10FFFF,
};

// Valid UTF-8 from arbitrary bytes (see the top of this file); a target
// may bring a table of characters of its own.
template <std::size_t Specials = std::size(special_characters)>
inline std::string to_valid_utf8(const std::uint8_t* data, std::size_t size,
                                 const char32_t (&specials_table)[Specials] = special_characters) {
  std::string out;
  out.reserve(size);
  constexpr std::size_t specials = Specials;
  for (std::size_t at = 0; at < size;) {
    const std::size_t length = well_formed_utf8_length(data + at, size - at);
    if (length != 0) {
      out.append(reinterpret_cast<const char*>(data + at), length);
      at += length;
    } else {
      append_utf8(out, specials_table[data[at] % specials]);
      ++at;
    }
  }
  return out;
}

// A text with every byte outside printable ASCII written as \xNN, for reports.
inline std::string escaped(std::string_view text) {
  std::string out;
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out += ch;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    }
  }
  return out;
}

// Reports a broken invariant and aborts, so libFuzzer keeps the input.
[[noreturn]] inline void invariant_failed(const char* what, std::string_view input, std::string_view got) {
  std::fprintf(stderr, "\nINVARIANT BROKEN: %s\n  input: \"%s\"\n  got:   \"%s\"\n", what, escaped(input).c_str(),
               escaped(got).c_str());
  std::abort();
}

// The same for two answers that should have been equal.
[[noreturn]] inline void mismatch(const char* what, std::string_view input, std::string_view got,
                                  std::string_view want) {
  std::fprintf(stderr, "\nMISMATCH: %s\n  input: \"%s\"\n  got:   \"%s\"\n  want:  \"%s\"\n", what,
               escaped(input).c_str(), escaped(got).c_str(), escaped(want).c_str());
  std::abort();
}

}  // namespace ardovel::fuzz
