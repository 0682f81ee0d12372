#include "reference/reference_stem.hpp"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <utility>

#include "unicode/tables.hpp"
#include "unicode/unicode.hpp"

namespace ardovel::reference {
namespace {

using CodePoints = std::u32string;

// ---- UTF-8 ------------------------------------------------------------------

std::string encode(const CodePoints& text) {
  std::string out;
  for (const char32_t c : text) append_utf8(out, c);
  return out;
}

// ---- Lowercase --------------------------------------------------------------

// The lowercase of one character other than capital sigma, from the table of
// mappings (ASCII is not in the table).
CodePoints lower_char(char32_t c) {
  if (c >= U'A' && c <= U'Z') return CodePoints(1, c + 0x20);
  if (c < 0x80) return CodePoints(1, c);
  const auto& table = unicode_tables::LOWERCASE_MAPPINGS;
  const auto* found = std::lower_bound(std::begin(table), std::end(table), c,
                                       [](const auto& mapping, char32_t value) { return mapping.code < value; });
  if (found == std::end(table) || found->code != c) return CodePoints(1, c);
  CodePoints out(1, found->lower[0]);
  if (found->lower[1] != 0) out.push_back(found->lower[1]);
  return out;
}

// Final_Sigma: a cased letter before (skipping case-ignorables), and no cased
// letter after (skipping case-ignorables), both read from the original text.
bool is_final_sigma(const CodePoints& text, std::size_t at) {
  bool cased_before = false;
  for (std::size_t i = at; i > 0; --i) {
    const char32_t c = text[i - 1];
    if (is_case_ignorable(c)) continue;
    cased_before = is_cased(c);
    break;
  }
  if (!cased_before) return false;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (is_case_ignorable(c)) continue;
    return !is_cased(c);
  }
  return true;
}

}  // namespace

std::string lowercase(std::string_view form) {
  const CodePoints text = decode_utf8(form);
  CodePoints out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == 0x03A3) {
      out.push_back(is_final_sigma(text, i) ? 0x03C2 : 0x03C3);
    } else {
      out += lower_char(text[i]);
    }
  }
  return encode(out);
}

// ---- Transliteration --------------------------------------------------------

const std::map<char32_t, std::string>& cyrillic_to_latin() {
  static const std::map<char32_t, std::string> table = {
      {U'А', "A"}, {U'а', "a"},   {U'Б', "B"}, {U'б', "b"},   {U'В', "V"},  {U'в', "v"},  {U'Г', "G"},
      {U'г', "g"}, {U'Д', "D"},   {U'д', "d"}, {U'Ђ', "Đ"},   {U'ђ', "đ"},  {U'Е', "E"},  {U'е', "e"},
      {U'Ж', "Ž"}, {U'ж', "ž"},   {U'З', "Z"}, {U'з', "z"},   {U'И', "I"},  {U'и', "i"},  {U'Ј', "J"},
      {U'ј', "j"}, {U'К', "K"},   {U'к', "k"}, {U'Л', "L"},   {U'л', "l"},  {U'Љ', "Lj"}, {U'љ', "lj"},
      {U'М', "M"}, {U'м', "m"},   {U'Н', "N"}, {U'н', "n"},   {U'Њ', "Nj"}, {U'њ', "nj"}, {U'О', "O"},
      {U'о', "o"}, {U'П', "P"},   {U'п', "p"}, {U'Р', "R"},   {U'р', "r"},  {U'С', "S"},  {U'с', "s"},
      {U'Т', "T"}, {U'т', "t"},   {U'Ћ', "Ć"}, {U'ћ', "ć"},   {U'У', "U"},  {U'у', "u"},  {U'Ф', "F"},
      {U'ф', "f"}, {U'Х', "H"},   {U'х', "h"}, {U'Ц', "C"},   {U'ц', "c"},  {U'Ч', "Č"},  {U'ч', "č"},
      {U'Џ', "Dž"}, {U'џ', "dž"}, {U'Ш', "Š"}, {U'ш', "š"},
  };
  return table;
}

std::string transliterate(std::string_view form) {
  std::string out;
  for (const char32_t c : decode_utf8(form)) {
    const auto found = cyrillic_to_latin().find(c);
    out += found != cyrillic_to_latin().end() ? found->second : encode(CodePoints(1, c));
  }
  return out;
}

// ---- "ije" ------------------------------------------------------------------

std::string replace_all(std::string_view text, std::string_view pattern, std::string_view replacement) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i, pattern.size()) == pattern) {
      out += replacement;
      i += pattern.size();
    } else {
      out += text[i];
      ++i;
    }
  }
  return out;
}

std::string reduce_ije(std::string_view form) { return replace_all(replace_all(form, "ije", "e"), "IJE", "E"); }

// ---- Filter -----------------------------------------------------------------

std::string filter(std::string_view form) {
  CodePoints out;
  for (const char32_t c : decode_utf8(form)) {
    if (is_alphanumeric(c) || is_whitespace(c)) out.push_back(c);
  }
  return encode(out);
}

namespace {

// ---- Affixes ----------------------------------------------------------------

const std::vector<std::pair<std::string, std::string>> EXCEPTIONS = {
    {"trčanje", "trč"}, {"dete", "det"},   {"čoveče", "čovek"}, {"učenici", "učenik"},
    {"majci", "majk"},  {"junaci", "junak"}, {"vrapci", "vrab"},
};

// The suffixes in their listing order; they are tried longest (in bytes)
// first, equal lengths in listing order.
std::vector<std::string> suffixes_in_trial_order() {
  std::vector<std::string> suffixes = {
      "ovima", "ijima", "anjima", "enjima", "ucima", "mobil", "ovati", "ijama", "inama", "etima", "erima", "arima",
      "ozima", "icama", "ajući", "ujući", "avajući", "ivajući", "usima", "enjem", "anjem", "ima", "ama", "ili",
      "ovi", "eti", "uje", "uju", "ao", "asmo", "evši", "iji", "aše", "ov", "ev", "es", "og", "ih",
      "em", "om", "im", "oše", "aste", "ati", "iti", "uti", "ica", "ac", "ski", "čki", "čka", "čko",
      "ost", "nost", "izam", "ista", "stvo", "ač", "telj", "ši", "mo", "ju", "ja", "je", "še", "a",
      "e", "i", "o", "u",
  };
  std::stable_sort(suffixes.begin(), suffixes.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  return suffixes;
}

const std::vector<std::string>& suffixes() {
  static const std::vector<std::string> table = suffixes_in_trial_order();
  return table;
}

// ---- Final consonant --------------------------------------------------------

std::string restore_consonant(const std::string& form) {
  if (form == "peć") return "pek";
  if (form == "dec" || form == "vitez" || form == "niz") return form;
  CodePoints work = decode_utf8(form);
  const std::vector<std::vector<std::pair<char32_t, char32_t>>> groups = {
      {{U'c', U'k'}, {U'z', U'g'}, {U's', U'h'}},
      {{U'č', U'k'}, {U'ž', U'g'}, {U'š', U'h'}},
  };
  for (const auto& group : groups) {
    for (const auto& [softened, velar] : group) {
      if (work.empty() || work.back() != softened) continue;
      if (work.size() >= 4) work.back() = velar;
      break;
    }
  }
  return encode(work);
}

// ---- Pipeline ---------------------------------------------------------------

std::vector<std::string> run(std::string_view word) {
  std::vector<std::string> trace{std::string(word)};
  if (word == "IT") return trace;

  std::string current(word);
  for (std::string (*stage)(std::string_view) : {lowercase, transliterate, reduce_ije, filter}) {
    std::string next = stage(current);
    if (next != current) trace.push_back(next);
    current = next;
  }

  if (current.starts_with("naj")) {
    current = current.substr(3);
    trace.push_back(current);
  }

  for (const auto& [form, stem] : EXCEPTIONS) {
    if (current == form) {
      trace.push_back(stem);
      return trace;
    }
  }
  if (current == "juče") return trace;

  for (const std::string& suffix : suffixes()) {
    if (current.ends_with(suffix)) {
      current = current.substr(0, current.size() - suffix.size());
      trace.push_back(current);
      break;
    }
  }

  std::string restored = restore_consonant(current);
  if (restored != current) trace.push_back(restored);
  return trace;
}

}  // namespace

std::string reference_stem(std::string_view word) { return run(word).back(); }

std::vector<std::string> reference_trace(std::string_view word) { return run(word); }

std::u32string decode_utf8(std::string_view text) {
  std::u32string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    char32_t c = lead;
    if (lead >= 0xF0) {
      length = 4;
      c = lead & 0x07U;
    } else if (lead >= 0xE0) {
      length = 3;
      c = lead & 0x0FU;
    } else if (lead >= 0xC0) {
      length = 2;
      c = lead & 0x1FU;
    }
    if (i + length > text.size()) throw std::invalid_argument("truncated UTF-8");
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3FU);
    out.push_back(c);
    i += length;
  }
  return out;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace ardovel::reference
