// NFKC and the accent drop, per token of running text.
//
//   nfkc_bench TEXT_FILE [benchmark flags]
//
// TEXT_FILE is running UTF-8 text, such as build/bench-data/running-10MB.txt
// (bench/make_corpora.py). Its tokens, cut by the analyzer's tokenizer, are
// held as views, and each iteration passes over all of them once; the
// counter per_token is the time of one call. token_walk is the loop alone,
// to subtract. The rest call on the tokens as they are (nearly all NFKC,
// none with accent marks), on the tokens fully decomposed (every character
// replaced by its decomposition: NFD for this text, which needs NFKC again)
// and on the tokens with a double grave over their first vowel, composed.
// nfkc_without_accents is the form a lemma key is made from, in one pass.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/tokenizer.hpp"
#include "unicode/accents.hpp"
#include "unicode/normalization.hpp"
#include "ardovel/utf8.hpp"

namespace {

using ardovel::Text;

struct Tokens {
  std::string storage;
  std::vector<std::string_view> views;
};

Tokens as_written, decomposed, accented;

// Lays the tokens end to end in one block, as a tokenizer hands them over.
void finish(Tokens& tokens, const std::vector<std::size_t>& ends) {
  std::size_t start = 0;
  for (const std::size_t end : ends) {
    tokens.views.emplace_back(tokens.storage.data() + start, end - start);
    start = end;
  }
}

void make_tokens(const std::string& text) {
  std::vector<std::size_t> ends[3];
  ardovel::analysis::for_each_token(text, [&](const ardovel::Token& token) {
    as_written.storage += token.text;
    ends[0].push_back(as_written.storage.size());

    const auto* bytes = reinterpret_cast<const unsigned char*>(token.text.data());
    bool marked = false;
    Text with_mark;
    for (std::size_t at = 0; at < token.text.size();) {
      const std::size_t start = at;
      const ardovel::Character c = ardovel::utf8::decode(bytes, at);
      const std::string_view parts = ardovel::normalization::decomposition(c);
      decomposed.storage += parts.empty() ? token.text.substr(start, at - start) : parts;
      with_mark.append(token.text.substr(start, at - start));
      if (!marked && ardovel::accents::is_base(c) && c != U'r' && c != U'р') {
        ardovel::utf8::append(with_mark, 0x030F);
        marked = true;
      }
    }
    ends[1].push_back(decomposed.storage.size());
    Text composed;
    ardovel::to_nfkc(with_mark.view(), composed);
    accented.storage += composed.view();
    ends[2].push_back(accented.storage.size());
  });
  finish(as_written, ends[0]);
  finish(decomposed, ends[1]);
  finish(accented, ends[2]);
}

void per_token(benchmark::State& state, const Tokens& tokens) {
  state.counters["per_token"] = benchmark::Counter(static_cast<double>(tokens.views.size()),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
  state.counters["tokens"] = static_cast<double>(tokens.views.size());
}

void token_walk(benchmark::State& state, const Tokens* tokens) {
  for (auto _ : state) {
    for (const std::string_view token : tokens->views) benchmark::DoNotOptimize(token.data());
  }
  per_token(state, *tokens);
}

void is_nfkc(benchmark::State& state, const Tokens* tokens) {
  std::size_t normalized = 0;
  for (auto _ : state) {
    normalized = 0;
    for (const std::string_view token : tokens->views) normalized += ardovel::is_nfkc(token) ? 1 : 0;
    benchmark::DoNotOptimize(normalized);
  }
  per_token(state, *tokens);
  state.counters["nfkc_share"] = static_cast<double>(normalized) / static_cast<double>(tokens->views.size());
}

void nfkc(benchmark::State& state, const Tokens* tokens) {
  Text scratch;
  for (auto _ : state) {
    for (const std::string_view token : tokens->views) benchmark::DoNotOptimize(ardovel::nfkc(token, scratch).data());
  }
  per_token(state, *tokens);
}

void to_nfkc(benchmark::State& state, const Tokens* tokens) {
  Text out;
  for (auto _ : state) {
    for (const std::string_view token : tokens->views) {
      ardovel::to_nfkc(token, out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  per_token(state, *tokens);
}

void without_accents(benchmark::State& state, const Tokens* tokens) {
  Text scratch;
  for (auto _ : state) {
    for (const std::string_view token : tokens->views) {
      benchmark::DoNotOptimize(ardovel::without_accents(token, scratch).data());
    }
  }
  per_token(state, *tokens);
}

void nfkc_without_accents(benchmark::State& state, const Tokens* tokens) {
  Text scratch;
  for (auto _ : state) {
    for (const std::string_view token : tokens->views) {
      benchmark::DoNotOptimize(ardovel::nfkc_without_accents(token, scratch).data());
    }
  }
  per_token(state, *tokens);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s TEXT_FILE [benchmark flags]\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  if (text.empty()) {
    std::fprintf(stderr, "%s: no text\n", argv[1]);
    return 1;
  }
  make_tokens(text);
  const struct {
    const char* name;
    void (*run)(benchmark::State&, const Tokens*);
    const Tokens* tokens;
  } benchmarks[] = {
      {"token_walk", token_walk, &as_written},
      {"is_nfkc", is_nfkc, &as_written},
      {"nfkc", nfkc, &as_written},
      {"to_nfkc", to_nfkc, &as_written},
      {"without_accents", without_accents, &as_written},
      {"nfkc_without_accents", nfkc_without_accents, &as_written},
      {"is_nfkc/decomposed", is_nfkc, &decomposed},
      {"nfkc/decomposed", nfkc, &decomposed},
      {"without_accents/accented", without_accents, &accented},
      {"nfkc_without_accents/decomposed", nfkc_without_accents, &decomposed},
  };
  for (const auto& b : benchmarks) {
    benchmark::RegisterBenchmark(b.name, b.run, b.tokens)->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
