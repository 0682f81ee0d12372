#include "stemmer/consonant.hpp"

#include <array>

#include "unicode/unicode.hpp"

namespace ardovel {
namespace {

struct ConsonantRule {
  Character softened;
  Character velar;
};

// Two groups, tried in this order; within a group the first rule whose
// letter ends the form decides. A first-group change leaves k, g or h, so
// the second group can never fire on top of it.
constexpr std::array<ConsonantRule, 3> FIRST_GROUP{{{U'c', U'k'}, {U'z', U'g'}, {U's', U'h'}}};
constexpr std::array<ConsonantRule, 3> SECOND_GROUP{{{U'č', U'k'}, {U'ž', U'g'}, {U'š', U'h'}}};

// Shorter stems («ruc», «nos», «miš») are too often whole roots whose final
// letter is not softened at all. Counted in characters, not bytes.
constexpr std::size_t min_restorable_chars = 4;

// «peć» would otherwise stay (ć has no rule); its forms share the stem «pek».
constexpr std::string_view special_form = "peć";
constexpr std::string_view special_stem = "pek";

// Real stems ending in c or z that the rules would corrupt.
constexpr std::array<std::string_view, 3> PROTECTED_FORMS{"dec", "vitez", "niz"};

// Final UTF-8 byte of each softened letter. Most forms end in none of them,
// and a single table look-up lets those skip the six character tests.
constexpr unsigned char last_utf8_byte(Character c) noexcept {
  return static_cast<unsigned char>(c < 0x80 ? c : 0x80U | (c & 0x3FU));
}

constexpr std::array<bool, 256> build_softened_final_bytes() noexcept {
  std::array<bool, 256> marks{};
  for (const ConsonantRule& rule : FIRST_GROUP) marks[last_utf8_byte(rule.softened)] = true;
  for (const ConsonantRule& rule : SECOND_GROUP) marks[last_utf8_byte(rule.softened)] = true;
  return marks;
}

constexpr std::array<bool, 256> SOFTENED_FINAL_BYTES = build_softened_final_bytes();

bool may_end_in_softened_letter(std::string_view form) noexcept {
  return !form.empty() && SOFTENED_FINAL_BYTES[static_cast<unsigned char>(form.back())];
}

bool is_protected(std::string_view form) noexcept {
  for (const std::string_view kept : PROTECTED_FORMS) {
    if (form == kept) return true;
  }
  return false;
}

void apply_group(const std::array<ConsonantRule, 3>& group, Text& work) {
  for (const ConsonantRule& rule : group) {
    if (!ends_with_char(work, rule.softened)) continue;
    if (char_count(work) >= min_restorable_chars) {
      pop_char(work);
      push_char(work, rule.velar);
    }
    return;  // the group's rules have distinct letters: no other can match
  }
}

}  // namespace

void restore_final_consonant(std::string_view form, Text& work) {
  if (form == special_form) {
    work.assign(special_stem);
    return;
  }
  work.assign(form);
  if (!may_end_in_softened_letter(form) || is_protected(form)) return;
  apply_group(FIRST_GROUP, work);
  apply_group(SECOND_GROUP, work);
}

}  // namespace ardovel
