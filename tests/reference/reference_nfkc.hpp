// A plain model of NFKC and of the accent drop, for checking the fast code.
//
// Straight from the definitions, one character at a time, over whole
// strings of code points: decompose every character, sort the marks by
// swapping neighbours, compose by looking back for the last starter and
// testing everything between. It reads the per-character data through the
// core's accessors (checked against the generated fixture on their own) but
// searches the composition pairs in its own way.
#pragma once

#include <string>
#include <string_view>

namespace ardovel::reference {

// The NFKC of a valid UTF-8 text.
[[nodiscard]] std::string reference_nfkc(std::string_view text);

// The accent drop of a valid UTF-8 text in NFKC.
[[nodiscard]] std::string reference_drop_accents(std::string_view nfkc_text);

}  // namespace ardovel::reference
