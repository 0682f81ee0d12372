#include "fts5_tokenizer.hpp"

#include <algorithm>
#include <cstddef>
#include <new>
#include <string_view>
#include <utility>

#include "ardovel/analyzer.hpp"

namespace ardovel::sqlite {
namespace {

// What one table's `tokenize = 'ardovel ...'` chose. FTS5 owns it between
// xCreate and xDelete. The scratch lives in an Analyzer made for each call,
// so one tokenizer may serve nested or interleaved calls.
class Tokenizer {
 public:
  explicit Tokenizer(AnalyzerOptions options) noexcept : options_(std::move(options)) {}
  [[nodiscard]] const AnalyzerOptions& options() const noexcept { return options_; }

 private:
  AnalyzerOptions options_;
};

const Tokenizer& tokenizer_of(Fts5Tokenizer* handle) noexcept { return *reinterpret_cast<Tokenizer*>(handle); }

// Hands terms to FTS5 and keeps the status of the last hand-over.
class TermSink {
 public:
  TermSink(void* context, TokenCallback emit) noexcept : context_(context), emit_(emit) {}

  bool put(std::string_view term, Span bytes, int flags = 0) noexcept {
    // Every size and offset is within the text FTS5 passed as an int.
    status_ = emit_(context_, flags, term.data(), static_cast<int>(term.size()), static_cast<int>(bytes.begin),
                    static_cast<int>(bytes.end));
    return status_ == SQLITE_OK;
  }
  [[nodiscard]] int status() const noexcept { return status_; }

 private:
  void* context_;
  TokenCallback emit_;
  int status_ = SQLITE_OK;
};

bool equals_ignoring_ascii_case(std::string_view text, std::string_view lower) noexcept {
  return std::ranges::equal(text, lower, [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + ('a' - 'A') : a) == b; });
}

int tokenize_words(Analyzer& analyzer, std::string_view text, TermSink& sink) {
  analyzer.analyze(
      text, [&sink](const Term& term) { return sink.put(term.key, term.token.bytes); }, Utf8Input::lenient);
  return sink.status();
}

// FTS5 marks a query string whose last term is a prefix (`knjig*`, the last
// word of `"crvene knjig"*`); the core's query rule says what it stands
// for, and its alternatives go to FTS5 as colocated tokens, which FTS5
// tries as alternatives, each as a prefix.
int tokenize_prefix_query(Analyzer& analyzer, std::string_view query, TermSink& sink) {
  analyzer.prefix_query(
      query,
      [&sink](const QueryTerm& term) {
        return sink.put(term.key, term.bytes, term.alternative ? FTS5_TOKEN_COLOCATED : 0);
      },
      Utf8Input::lenient);
  return sink.status();
}

}  // namespace

int create_tokenizer(void* /*unused*/, const char** arguments, int argument_count, Fts5Tokenizer** out) noexcept {
  *out = nullptr;
  AnalyzerOptions options;
  for (int i = 0; i < argument_count; ++i) {
    const std::string_view word = arguments[i];
    if (equals_ignoring_ascii_case(word, "stopwords")) {
      options.stop_words = StopWords::serbian();
    } else if (equals_ignoring_ascii_case(word, "lemmas") && lexicon_available()) {
      options.lemmas = true;
    } else if (equals_ignoring_ascii_case(word, "fold")) {
      options.fold = true;
    } else {
      return SQLITE_ERROR;
    }
  }
  auto* tokenizer = new (std::nothrow) Tokenizer(std::move(options));
  if (tokenizer == nullptr) return SQLITE_NOMEM;
  *out = reinterpret_cast<Fts5Tokenizer*>(tokenizer);
  return SQLITE_OK;
}

void delete_tokenizer(Fts5Tokenizer* tokenizer) noexcept { delete reinterpret_cast<Tokenizer*>(tokenizer); }

int tokenize(Fts5Tokenizer* tokenizer, void* context, int flags, const char* text, int size,
             TokenCallback emit) noexcept {
  if (text == nullptr || size <= 0) return SQLITE_OK;
  const std::string_view input(text, static_cast<std::size_t>(size));
  TermSink sink(context, emit);
  try {
    Analyzer analyzer(tokenizer_of(tokenizer).options());
    if ((flags & FTS5_TOKENIZE_PREFIX) != 0) return tokenize_prefix_query(analyzer, input, sink);
    return tokenize_words(analyzer, input, sink);
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  } catch (...) {
    return SQLITE_ERROR;  // nothing else is thrown, but nothing may reach SQLite
  }
}

}  // namespace ardovel::sqlite
