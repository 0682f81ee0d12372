// The stemming core against Snowball's Serbian stemmer on the same words,
// and the text layer over running text.
//
//   core_bench WORDS_FILE [TEXT_FILE] [benchmark flags]
//
// WORDS_FILE holds one UTF-8 word per line. Each benchmark iteration stems
// every word once, so the time per iteration divided by the word count is
// the time per word. TEXT_FILE, when given, is running UTF-8 text: each
// iteration of the text benchmarks walks all of it (tokens only; tokens and
// stems; the same with the default stop list; our tokens stemmed by
// Snowball), reported in bytes per second. The heap is counted by replacing the global allocation
// functions of this program; the counts go out as counters of the core's
// benchmark (mean and worst case per call, for words under 64 bytes).
#include <benchmark/benchmark.h>
#include <libstemmer.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/tokenizer.hpp"
#include "ardovel/analyzer.hpp"
#include "stemmer/stem.hpp"

namespace {
std::size_t allocation_count = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++allocation_count;
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

// The words lie end to end in one block, as a tokeniser would hand them
// over, so both stemmers read them in order from memory.
std::string word_bytes;
std::vector<std::string_view> words;

struct AllocationCounts {
  double mean = 0;
  std::size_t worst = 0;
  std::size_t calls = 0;
};

AllocationCounts count_allocations() {
  AllocationCounts counts;
  std::size_t total = 0;
  for (const std::string_view word : words) {
    if (word.size() >= 64) continue;
    const std::size_t before = allocation_count;
    std::string stem = ardovel::stem_word(word);
    benchmark::DoNotOptimize(stem.data());
    const std::size_t used = allocation_count - before;
    total += used;
    counts.worst = std::max(counts.worst, used);
    ++counts.calls;
  }
  counts.mean = counts.calls == 0 ? 0 : static_cast<double>(total) / static_cast<double>(counts.calls);
  return counts;
}

void ardovel_stem_word(benchmark::State& state) {
  for (auto _ : state) {
    for (const std::string_view word : words) {
      std::string stem = ardovel::stem_word(word);
      benchmark::DoNotOptimize(stem.data());
    }
  }
  const AllocationCounts counts = count_allocations();
  state.counters["words"] = static_cast<double>(words.size());
  state.counters["allocs_per_call_lt64"] = counts.mean;
  state.counters["max_allocs_per_call_lt64"] = static_cast<double>(counts.worst);
}

void snowball_serbian(benchmark::State& state) {
  sb_stemmer* stemmer = sb_stemmer_new("serbian", "UTF_8");
  if (stemmer == nullptr) {
    state.SkipWithError("libstemmer has no Serbian stemmer");
    return;
  }
  for (auto _ : state) {
    for (const std::string_view word : words) {
      const sb_symbol* stem =
          sb_stemmer_stem(stemmer, reinterpret_cast<const sb_symbol*>(word.data()), static_cast<int>(word.size()));
      benchmark::DoNotOptimize(stem);
    }
  }
  state.counters["words"] = static_cast<double>(words.size());
  sb_stemmer_delete(stemmer);
}

BENCHMARK(ardovel_stem_word)->Unit(benchmark::kMillisecond);
BENCHMARK(snowball_serbian)->Unit(benchmark::kMillisecond);

std::string running_text;

void count_text(benchmark::State& state, std::size_t tokens) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * running_text.size()));
  state.counters["text_bytes"] = static_cast<double>(running_text.size());
  state.counters["tokens"] = static_cast<double>(tokens);
}

void text_tokenize(benchmark::State& state) {
  std::size_t tokens = 0;
  for (auto _ : state) {
    tokens = 0;
    ardovel::analysis::for_each_token(running_text, [&](const ardovel::Token& token) {
      benchmark::DoNotOptimize(token.chars.end);
      ++tokens;
    });
  }
  count_text(state, tokens);
}

// One whole pass outside the timing, after a first one has grown the
// scratch texts, counts the heap allocations of a warm analyzer.
void text_analyze(benchmark::State& state, ardovel::AnalyzerOptions options) {
  ardovel::Analyzer analyzer(std::move(options));
  std::size_t tokens = 0;
  const auto walk = [&] {
    tokens = 0;
    analyzer.analyze(running_text, [&](const ardovel::Term& term) {
      benchmark::DoNotOptimize(term.key.data());
      ++tokens;
    });
  };
  for (auto _ : state) walk();
  walk();
  const std::size_t before = allocation_count;
  walk();
  const std::size_t warm_allocations = allocation_count - before;
  count_text(state, tokens);
  state.counters["warm_allocs"] = static_cast<double>(warm_allocations);
}

void text_snowball_over_tokens(benchmark::State& state) {
  sb_stemmer* stemmer = sb_stemmer_new("serbian", "UTF_8");
  if (stemmer == nullptr) {
    state.SkipWithError("libstemmer has no Serbian stemmer");
    return;
  }
  std::size_t tokens = 0;
  for (auto _ : state) {
    tokens = 0;
    ardovel::analysis::for_each_token(running_text, [&](const ardovel::Token& token) {
      const sb_symbol* stem = sb_stemmer_stem(stemmer, reinterpret_cast<const sb_symbol*>(token.text.data()),
                                              static_cast<int>(token.text.size()));
      benchmark::DoNotOptimize(stem);
      ++tokens;
    });
  }
  count_text(state, tokens);
  sb_stemmer_delete(stemmer);
}

void register_text_benchmarks() {
  using ardovel::StopWords;
  benchmark::RegisterBenchmark("text_tokenize", text_tokenize)->Unit(benchmark::kMillisecond);
  using ardovel::AnalyzerOptions;
  benchmark::RegisterBenchmark("text_analyze", text_analyze, AnalyzerOptions{})->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("text_analyze_stopwords", text_analyze, AnalyzerOptions{StopWords::serbian()})
      ->Unit(benchmark::kMillisecond);
  if (ardovel::lexicon_available())
    benchmark::RegisterBenchmark("text_analyze_lemmas_fold", text_analyze,
                                 AnalyzerOptions{.stop_words = StopWords(), .lemmas = true, .fold = true})
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("text_snowball_over_tokens", text_snowball_over_tokens)->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s WORDS_FILE [TEXT_FILE] [benchmark flags]\n", argv[0]);
    return 2;
  }
  if (argc == 3) {
    std::ifstream text(argv[2], std::ios::binary);
    running_text.assign(std::istreambuf_iterator<char>(text), {});
    if (running_text.empty()) {
      std::fprintf(stderr, "%s: no text\n", argv[2]);
      return 1;
    }
    register_text_benchmarks();
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::size_t> ends;
  for (std::string line; std::getline(in, line);) {
    word_bytes += line;
    ends.push_back(word_bytes.size());
  }
  std::size_t start = 0;
  for (const std::size_t end : ends) {
    words.emplace_back(word_bytes.data() + start, end - start);
    start = end;
  }
  if (words.empty()) {
    std::fprintf(stderr, "%s: no words\n", argv[1]);
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
