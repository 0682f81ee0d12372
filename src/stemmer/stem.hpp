// The one operation of the stemming core.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <optional>
#include <vector>

#include "stemmer/interruption.hpp"
#include "unicode/text.hpp"

namespace ardovel {

// The successive forms of one word during one call: the input first, then
// every form a stage changed it into.
struct StemTrace {
  std::vector<std::string> forms;
};

// The production path. The answer is always the trace's last entry, which is
// also the current form at the end (a stage that changes the form records
// it), so no other form is kept: the four normalisation stages run as one
// pass into `scratch`, and the affix and consonant stages only narrow or
// edit that text in place. Returns the stem as a view into `scratch`, into
// `word` (the "IT" guard) or into constant data; it stays valid while
// `word` and `scratch` live and `scratch` is not touched. `scratch` needs no
// heap block for words of up to 69 bytes.
[[nodiscard]] std::string_view stem_word_into(std::string_view word, Text& scratch);

// The same, for a host that may want to stop a call on a word of megabytes:
// nothing when `interruption` asked to stop. Words shorter than
// interruptible_piece never ask.
[[nodiscard]] std::optional<std::string_view> stem_word_into(std::string_view word, Text& scratch,
                                                             const Interruption& interruption);

// Stems one word given as valid UTF-8 (not zero-terminated). The whole text
// counts as one word. Never fails on valid UTF-8; only memory exhaustion
// (std::bad_alloc) can escape.
[[nodiscard]] std::string stem_word(const char* data, std::size_t size);
[[nodiscard]] std::string stem_word(std::string_view word);

// The same, recording every form into `trace` (which is cleared first); the
// answer is the trace's last entry.
[[nodiscard]] std::string stem_word(std::string_view word, StemTrace& trace);

}  // namespace ardovel
