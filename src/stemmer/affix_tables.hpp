// The rule tables of the morphological stages, in the order their rules are
// tried. Kept apart from the code so that the tests can walk the tables
// plainly against the fast matcher; what the matcher relies on (distinct
// entries, trial order) is proven here when the header is compiled.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ardovel {

// Irregular words whose stem no suffix rule would find. An empty stem means
// "stop here and keep the form": "juče" ends in "e", which must stay.
struct ExceptionForm {
  std::string_view form;
  std::string_view stem;
};

inline constexpr std::array<ExceptionForm, 8> EXCEPTION_FORMS{{
    {"trčanje", "trč"},
    {"dete", "det"},
    {"čoveče", "čovek"},
    {"učenici", "učenik"},
    {"majci", "majk"},
    {"junaci", "junak"},
    {"vrapci", "vrab"},
    {"juče", ""},
}};

// For each first byte, bit n is set when some exception form of n bytes
// begins with it: nearly every form is turned away by this one look-up.
inline constexpr std::array<std::uint16_t, 256> EXCEPTION_STARTS = [] {
  std::array<std::uint16_t, 256> starts{};
  for (const ExceptionForm& entry : EXCEPTION_FORMS) {
    starts[static_cast<unsigned char>(entry.form.front())] |= static_cast<std::uint16_t>(1U << entry.form.size());
  }
  return starts;
}();
static_assert([] {
  for (const ExceptionForm& entry : EXCEPTION_FORMS)
    if (entry.form.empty() || entry.form.size() >= 16) return false;
  return true;
}());
// A form listed twice would make the second entry dead.
static_assert([] {
  for (std::size_t i = 0; i < EXCEPTION_FORMS.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (EXCEPTION_FORMS[i].form == EXCEPTION_FORMS[j].form) return false;
  return true;
}());

// Suffixes in trial order: longest first by UTF-8 byte length (č, ć, š, ž
// take two bytes), equal lengths in their established order. The first
// suffix that ends a form is the one removed; since any two suffixes that end
// the same form are nested, that is always the longest one.
inline constexpr std::array<std::string_view, 70> SUFFIX_TABLE{
    // 8 bytes
    "avajući", "ivajući",
    // 6 bytes
    "anjima", "enjima", "ajući", "ujući",
    // 5 bytes
    "ovima", "ijima", "ucima", "mobil", "ovati", "ijama", "inama", "etima", "erima", "arima", "ozima",
    "icama", "usima", "enjem", "anjem", "evši",
    // 4 bytes
    "asmo", "aše", "oše", "aste", "čki", "čka", "čko", "nost", "izam", "ista", "stvo", "telj",
    // 3 bytes
    "ima", "ama", "ili", "ovi", "eti", "uje", "uju", "iji", "ati", "iti", "uti", "ica", "ski", "ost",
    "ač", "ši", "še",
    // 2 bytes
    "ao", "ov", "ev", "es", "og", "ih", "em", "om", "im", "ac", "mo", "ju", "ja", "je",
    // 1 byte
    "a", "e", "i", "o", "u",
};

// The matcher packs a suffix into one 64-bit word.
inline constexpr std::size_t max_suffix_bytes = 8;

// What the matcher relies on: the first suffix in trial order that ends a
// form is the longest that does, and no suffix is listed twice.
static_assert([] {
  for (std::size_t i = 1; i < SUFFIX_TABLE.size(); ++i)
    if (SUFFIX_TABLE[i].size() > SUFFIX_TABLE[i - 1].size()) return false;
  return true;
}(), "suffixes are in trial order: non-increasing byte length");
static_assert([] {
  for (std::size_t i = 0; i < SUFFIX_TABLE.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (SUFFIX_TABLE[i] == SUFFIX_TABLE[j]) return false;
  return true;
}(), "suffixes are distinct");

}  // namespace ardovel
