#include "stemmer/normalise.hpp"

#include <array>
#include <cstring>
#include <string_view>

#include "unicode/unicode.hpp"
#include "unicode/utf8.hpp"

namespace ardovel {
namespace {

struct Letter {
  Character cyrillic;
  std::string_view latin;
};

// Serbian Cyrillic, capitals then small letters. Capital digraphs capitalise
// only their first letter, as Serbian Latin writes them.
constexpr Letter SERBIAN_LETTERS[] = {
    {0x0410, "A"}, {0x0411, "B"}, {0x0412, "V"}, {0x0413, "G"}, {0x0414, "D"}, {0x0402, "Đ"}, {0x0415, "E"},
    {0x0416, "Ž"}, {0x0417, "Z"}, {0x0418, "I"}, {0x0408, "J"}, {0x041A, "K"}, {0x041B, "L"}, {0x0409, "Lj"},
    {0x041C, "M"}, {0x041D, "N"}, {0x040A, "Nj"}, {0x041E, "O"}, {0x041F, "P"}, {0x0420, "R"}, {0x0421, "S"},
    {0x0422, "T"}, {0x040B, "Ć"}, {0x0423, "U"}, {0x0424, "F"}, {0x0425, "H"}, {0x0426, "C"}, {0x0427, "Č"},
    {0x040F, "Dž"}, {0x0428, "Š"},
    {0x0430, "a"}, {0x0431, "b"}, {0x0432, "v"}, {0x0433, "g"}, {0x0434, "d"}, {0x0452, "đ"}, {0x0435, "e"},
    {0x0436, "ž"}, {0x0437, "z"}, {0x0438, "i"}, {0x0458, "j"}, {0x043A, "k"}, {0x043B, "l"}, {0x0459, "lj"},
    {0x043C, "m"}, {0x043D, "n"}, {0x045A, "nj"}, {0x043E, "o"}, {0x043F, "p"}, {0x0440, "r"}, {0x0441, "s"},
    {0x0442, "t"}, {0x045B, "ć"}, {0x0443, "u"}, {0x0444, "f"}, {0x0445, "h"}, {0x0446, "c"}, {0x0447, "č"},
    {0x045F, "dž"}, {0x0448, "š"},
};

// Every Serbian letter lies in U+0400..U+045F; an empty entry means the
// character is kept as it is.
constexpr Character CYRILLIC_FIRST = 0x0400;
constexpr std::size_t CYRILLIC_SPAN = 0x60;

constexpr auto CYRILLIC_TO_LATIN = [] {
  std::array<std::string_view, CYRILLIC_SPAN> table{};
  for (const Letter& letter : SERBIAN_LETTERS) table[letter.cyrillic - CYRILLIC_FIRST] = letter.latin;
  return table;
}();

// U+0400..U+045F are exactly the two-byte sequences led by D0 or D1 whose
// code point stays below the end of that span.
std::string_view latin_for(unsigned char lead, unsigned char next) noexcept {
  if (lead != 0xD0 && lead != 0xD1) return {};
  const Character c = ((lead & 0x1FU) << 6) | (next & 0x3FU);
  return c < CYRILLIC_FIRST + CYRILLIC_SPAN ? CYRILLIC_TO_LATIN[c - CYRILLIC_FIRST] : std::string_view{};
}

// Replaces every non-overlapping `pattern` (three bytes) by `replacement`,
// left to right. The text only shrinks, so it is rewritten where it stands.
void collapse_in_place(Text& text, std::string_view pattern, char replacement) {
  const std::string_view view = text.view();
  char* data = text.data();
  std::size_t read = 0;
  std::size_t write = 0;
  for (std::size_t at = view.find(pattern); at != std::string_view::npos; at = view.find(pattern, read)) {
    std::memmove(data + write, data + read, at - read);
    write += at - read;
    data[write++] = replacement;
    read = at + pattern.size();
  }
  if (read == 0) return;
  std::memmove(data + write, data + read, view.size() - read);
  text.truncate(write + view.size() - read);
}

bool is_kept(Character c) noexcept { return is_alphanumeric(c) || is_whitespace(c); }

}  // namespace

void lowercase(std::string_view form, Text& out) { to_lowercase(form, out); }

void transliterate_cyrillic(std::string_view form, Text& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(form.data());
  out.clear();
  out.reserve(form.size());
  for (std::size_t i = 0; i < form.size();) {
    const std::string_view latin = i + 1 < form.size() ? latin_for(bytes[i], bytes[i + 1]) : std::string_view{};
    if (latin.empty()) {
      out.push_back(form[i++]);
    } else {
      out.append(latin);
      i += 2;
    }
  }
}

void reduce_ije(std::string_view form, Text& out) {
  out.assign(form);
  collapse_in_place(out, "ije", 'e');
  collapse_in_place(out, "IJE", 'E');
}

void filter_characters(std::string_view form, Text& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(form.data());
  out.clear();
  out.reserve(form.size());
  for (std::size_t i = 0; i < form.size();) {
    const std::size_t start = i;
    if (is_kept(utf8::decode(bytes, i))) out.append(form.substr(start, i - start));
  }
}

}  // namespace ardovel
