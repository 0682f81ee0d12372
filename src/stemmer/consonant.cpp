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
  if (is_protected(form)) return;
  apply_group(FIRST_GROUP, work);
  apply_group(SECOND_GROUP, work);
}

}  // namespace ardovel
