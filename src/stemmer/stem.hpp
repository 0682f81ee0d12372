// The one operation of the stemming core.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ardovel {

// The successive forms of one word during one call: the input first, then
// every form a stage changed it into.
struct StemTrace {
  std::vector<std::string> forms;
};

// Stems one word given as valid UTF-8 (not zero-terminated). The whole text
// counts as one word. Never fails on valid UTF-8; only memory exhaustion
// (std::bad_alloc) can escape.
[[nodiscard]] std::string stem_word(const char* data, std::size_t size);
[[nodiscard]] std::string stem_word(std::string_view word);

// The same, recording every form into `trace` (which is cleared first); the
// answer is the trace's last entry.
[[nodiscard]] std::string stem_word(std::string_view word, StemTrace& trace);

}  // namespace ardovel
