// The lemma key's cost per token beside the stem's, over a whole corpus.
//
//   lemma_speed TEXT [REPEATS]
//
// Tokenises TEXT as the analyzer does, then times stem_word_into and
// lemma_key_into (without and with folding) over every token, REPEATS
// times each in turn; prints the median nanoseconds per token, and the time
// the process's very first key took (the lexicon's pages mapped on demand)
// and how much of the lexicon became resident (its pages that the keys
// touched, shared between processes).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/tokenizer.hpp"
#include "lexicon/lemma.hpp"
#include "stemmer/stem.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Resident file-backed and anonymous memory of this process, in KiB.
long resident_kib(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: lemma_speed TEXT [REPEATS]\n");
    return 2;
  }
  const long file_before = resident_kib("RssFile:");
  const auto first_start = Clock::now();
  ardovel::LemmaScratch first_scratch;
  const std::size_t first_size = ardovel::lemma_key_into("godine", false, first_scratch).size();
  const double first = seconds_since(first_start);

  std::ifstream in(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
  std::vector<std::string_view> tokens;
  ardovel::analysis::TokenScanner<ardovel::Utf8Input::lenient> scanner(text);
  for (ardovel::Token token; scanner.next(token);) tokens.push_back(token.text);

  std::size_t sink = first_size;
  std::vector<double> stem_times, lemma_times, fold_times;
  ardovel::Text stem_scratch;
  ardovel::LemmaScratch scratch;
  for (int r = 0; r < repeats; ++r) {
    auto start = Clock::now();
    for (const std::string_view t : tokens) sink += ardovel::stem_word_into(t, stem_scratch).size();
    stem_times.push_back(seconds_since(start));
    start = Clock::now();
    for (const std::string_view t : tokens) sink += ardovel::lemma_key_into(t, false, scratch).size();
    lemma_times.push_back(seconds_since(start));
    start = Clock::now();
    for (const std::string_view t : tokens) sink += ardovel::lemma_key_into(t, true, scratch).size();
    fold_times.push_back(seconds_since(start));
  }
  const auto median_ns = [&](std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2] * 1e9 / static_cast<double>(tokens.size());
  };
  std::printf("%zu tokens; lexicon %s\n", tokens.size(), ardovel::lexicon_available() ? "built in" : "absent");
  std::printf("stem_word_into            %6.1f ns/token\n", median_ns(stem_times));
  std::printf("lemma_key_into            %6.1f ns/token\n", median_ns(lemma_times));
  std::printf("lemma_key_into, folded    %6.1f ns/token\n", median_ns(fold_times));
  std::printf("first key in the process  %6.1f us\n", first * 1e6);
  std::printf("file pages resident      %6.1f MiB more than before the first key\n",
              static_cast<double>(resident_kib("RssFile:") - file_before) / 1024.0);
  return sink == 0 ? 1 : 0;
}
