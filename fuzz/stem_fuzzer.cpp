// libFuzzer target for stem_word.
//
// For every input (made valid UTF-8 first): no crash or sanitizer report;
// the answer is valid UTF-8; both overloads and a second call give the same
// answer; the recorded trace starts with the input and ends with the answer;
// and answer and trace equal those of the plain reference pipeline.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_input.hpp"
#include "reference/reference_stem.hpp"
#include "stemmer/stem.hpp"

using ardovel::is_valid_utf8;
using ardovel::fuzz::invariant_failed;
using ardovel::fuzz::mismatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string word = ardovel::fuzz::to_valid_utf8(data, size);

  const std::string answer = ardovel::stem_word(word);
  if (!is_valid_utf8(answer)) invariant_failed("answer is not valid UTF-8", word, answer);

  const std::string again = ardovel::stem_word(word.data(), word.size());
  if (again != answer) mismatch("second call (pointer and length) differs", word, again, answer);

  ardovel::StemTrace trace;
  trace.forms.emplace_back("left over from an earlier call");
  const std::string traced = ardovel::stem_word(word, trace);
  if (traced != answer) mismatch("traced call differs", word, traced, answer);
  if (trace.forms.empty() || trace.forms.front() != word) invariant_failed("trace does not start with the input", word, traced);
  if (trace.forms.back() != answer) mismatch("last trace entry is not the answer", word, trace.forms.back(), answer);
  for (std::size_t i = 0; i < trace.forms.size(); ++i) {
    if (!is_valid_utf8(trace.forms[i])) invariant_failed("trace entry is not valid UTF-8", word, trace.forms[i]);
  }

  const std::string expected = ardovel::reference::reference_stem(word);
  if (answer != expected) mismatch("answer differs from the reference pipeline", word, answer, expected);
  const std::vector<std::string> expected_trace = ardovel::reference::reference_trace(word);
  if (trace.forms != expected_trace) {
    std::string got;
    std::string want;
    for (const auto& form : trace.forms) got += "[" + form + "]";
    for (const auto& form : expected_trace) want += "[" + form + "]";
    mismatch("trace differs from the reference pipeline", word, got, want);
  }
  return 0;
}
