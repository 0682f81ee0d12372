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
#include "ardovel/stem.hpp"

using ardovel::is_valid_utf8;
using ardovel::fuzz::invariant_failed;
using ardovel::fuzz::mismatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string word = ardovel::fuzz::to_valid_utf8(data, size);

  const std::string answer = ardovel::stem_word(word);
  if (!is_valid_utf8(answer)) invariant_failed("answer is not valid UTF-8", word, answer);

  ardovel::Stemmer stemmer;
  (void)stemmer.stem("Knjigama, a long word that leaves the scratch grown: " + word);
  const std::string_view again = stemmer.stem(word);
  if (again != answer) mismatch("a stemmer's second word differs", word, std::string(again), answer);

  const std::string expected = ardovel::reference::reference_stem(word);
  if (answer != expected) mismatch("answer differs from the reference pipeline", word, answer, expected);
  return 0;
}
