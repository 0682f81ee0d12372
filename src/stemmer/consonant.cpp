#include "stemmer/consonant.hpp"

#include <array>
#include <cstddef>

#include "ardovel/utf8.hpp"
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

constexpr unsigned char last_utf8_byte(std::string_view text) noexcept {
  return static_cast<unsigned char>(text.back());
}

constexpr unsigned char last_utf8_byte(Character c) noexcept {
  return static_cast<unsigned char>(c < 0x80 ? c : 0x80U | (c & 0x3FU));
}

}  // namespace

constinit const std::array<bool, 256> CONSONANT_LAST_BYTES = [] {
  std::array<bool, 256> marks{};
  marks[last_utf8_byte(special_form)] = true;
  for (const ConsonantRule& rule : FIRST_GROUP) marks[last_utf8_byte(rule.softened)] = true;
  for (const ConsonantRule& rule : SECOND_GROUP) marks[last_utf8_byte(rule.softened)] = true;
  return marks;
}();

namespace {

bool is_protected(std::string_view form) noexcept {
  for (const std::string_view kept : PROTECTED_FORMS) {
    if (form == kept) return true;
  }
  return false;
}

// The rule for the form's last character, if that is a softened letter.
// The groups' letters are all distinct, so trying the first group and then
// the second on the unchanged form finds the same rule as the stage's
// order: after a first-group change the form ends in k, g or h, which no
// second-group rule has. (The letters' encodings are compared byte by byte:
// one or two bytes are cheaper to compare than to hand to memcmp.)
struct EncodedRule {
  char letter[4];
  std::size_t size;
  const ConsonantRule* rule;
};

constexpr std::array<EncodedRule, 6> ENCODED_RULES = [] {
  std::array<EncodedRule, 6> encoded{};
  std::size_t n = 0;
  for (const auto* group : {&FIRST_GROUP, &SECOND_GROUP}) {
    for (const ConsonantRule& rule : *group) {
      EncodedRule& e = encoded[n++];
      e.size = utf8::encode(rule.softened, e.letter);
      e.rule = &rule;
    }
  }
  return encoded;
}();

const ConsonantRule* rule_for_last_letter(std::string_view form) noexcept {
  for (const EncodedRule& e : ENCODED_RULES) {
    if (form.size() < e.size) continue;
    bool ends = true;
    for (std::size_t k = 0; k < e.size; ++k) ends = ends && form[form.size() - e.size + k] == e.letter[k];
    if (ends) return e.rule;
  }
  return nullptr;
}

}  // namespace

std::string_view restore_softened_consonant(char* form, std::size_t size) noexcept {
  const std::string_view view(form, size);
  if (view == special_form) return special_stem;
  if (is_protected(view)) return view;
  const ConsonantRule* rule = rule_for_last_letter(view);
  if (rule == nullptr || char_count(view) < min_restorable_chars) return view;
  // The softened letter (one or two bytes) gives way to one ASCII letter.
  char encoded[4];
  const std::size_t letter_size = utf8::encode(rule->softened, encoded);
  form[size - letter_size] = static_cast<char>(rule->velar);
  return {form, size - letter_size + 1};
}

}  // namespace ardovel
