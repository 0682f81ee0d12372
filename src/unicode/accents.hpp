// Dropping the accent marks that dictionaries and poetry put over vowels
// and syllabic r, for the lemma key: "rȅka" keys as "reka", "grâd" as
// "grad", "ре̏ка" as "река". The letters that carry a mark as part of the
// alphabet (č ć š ž đ, and ć is c + acute) keep it, since only marks over
// the letters below go, and only the marks below.
#pragma once

#include <algorithm>
#include <iterator>
#include <string_view>

#include "ardovel/text.hpp"
#include "unicode/unicode.hpp"

namespace ardovel {

namespace accents {

// The letters whose accent marks go: the vowels and r, in both scripts and
// both cases.
inline constexpr Character BASES[] = {
    U'a', U'e', U'i', U'o', U'u', U'r', U'A', U'E', U'I', U'O', U'U', U'R',
    U'а', U'е', U'и', U'о', U'у', U'р', U'А', U'Е', U'И', U'О', U'У', U'Р',
};

// The marks that go: the four accents and the length mark of the
// dictionaries, and the circumflex and tilde that other texts write for
// length and for the long rising accent. Not the breve, which makes й of
// и, nor the diaeresis, caron, ring or any mark below.
inline constexpr Character MARKS[] = {
    0x0300,  // grave: short rising (à)
    0x0301,  // acute: long rising (á)
    0x0302,  // circumflex: length (â)
    0x0303,  // tilde: long rising in older texts (ã)
    0x0304,  // macron: length after the accent (ā)
    0x030F,  // double grave: short falling (ȁ)
    0x0311,  // inverted breve: long falling (ȃ)
};

[[nodiscard]] constexpr bool is_base(Character c) noexcept {
  return std::find(std::begin(BASES), std::end(BASES), c) != std::end(BASES);
}

[[nodiscard]] constexpr bool is_mark(Character c) noexcept {
  return std::find(std::begin(MARKS), std::end(MARKS), c) != std::end(MARKS);
}

}  // namespace accents

// `text` (NFKC) with every accent mark removed from the characters it sits
// on (in a decomposed sequence of a base letter and its marks, the marks
// of accents::MARKS go when the base is one of accents::BASES), and the
// rest composed again, so the result is NFKC too. `out` is overwritten.
void drop_accents(std::string_view text, Text& out);

// `text` itself, without a copy, when it holds no accent mark to drop; else
// drop_accents(text) written to `scratch`.
[[nodiscard]] std::string_view without_accents(std::string_view text, Text& scratch);

// without_accents(nfkc(text)) for any valid UTF-8 text, the form a lemma key
// is made from: `text` itself when there is nothing to do, else the result
// in `scratch`. One pass over the bytes settles both for nearly every token,
// at the cost of one of the two checks.
[[nodiscard]] std::string_view nfkc_without_accents(std::string_view text, Text& scratch);

}  // namespace ardovel
