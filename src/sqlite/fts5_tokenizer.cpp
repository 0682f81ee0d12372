#include "sqlite/fts5_tokenizer.hpp"

#include <algorithm>
#include <cstddef>
#include <new>
#include <string_view>
#include <utility>

#include "analysis/analyzer.hpp"
#include "analysis/stopwords.hpp"
#include "analysis/tokenizer.hpp"
#include "stemmer/stem.hpp"
#include "unicode/text.hpp"
#include "unicode/unicode.hpp"

namespace ardovel::sqlite {
namespace {

using analysis::Token;
using analysis::Utf8Input;

// What one table's `tokenize = 'ardovel ...'` chose. FTS5 owns it between
// xCreate and xDelete. The scratch texts live in an Analyzer made for each
// call, so one tokenizer may serve nested or interleaved calls.
class Tokenizer {
 public:
  explicit Tokenizer(analysis::StopWords stop_words) noexcept : stop_words_(std::move(stop_words)) {}
  [[nodiscard]] const analysis::StopWords& stop_words() const noexcept { return stop_words_; }

 private:
  analysis::StopWords stop_words_;
};

const Tokenizer& tokenizer_of(Fts5Tokenizer* handle) noexcept { return *reinterpret_cast<Tokenizer*>(handle); }

// Hands terms to FTS5 and keeps the status of the last hand-over.
class TermSink {
 public:
  TermSink(void* context, TokenCallback emit) noexcept : context_(context), emit_(emit) {}

  bool put(std::string_view term, analysis::Span bytes, int flags = 0) noexcept {
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

int tokenize_words(const analysis::StopWords& stop_words, std::string_view text, TermSink& sink) {
  analysis::Analyzer analyzer(stop_words);
  analyzer.analyze<Utf8Input::lenient>(text, [&sink](const analysis::Term& term) {
    return sink.put(term.stem, term.token.bytes);
  });
  return sink.status();
}

// Shorter prefixes are not stemmed: cutting a would-be ending off "ku"
// leaves "k", which matches far more than anyone typing "ku*" means.
constexpr std::size_t shortest_stemmed_prefix = 3;

// The last token of a query string with a prefix mark is the start of a
// word, not a word: no stop word, and it stands for every stem that begins
// with one of two terms (FTS5 tries colocated query terms as alternatives,
// each as a prefix):
// - its stem, as if it were a whole word, so `knjiga*`, `knjige*` and
//   `knjig*` all find "knjiga", whose stem "knjig" does not begin with
//   "knjiga";
// - its normalised form, when that stem is not a start of it: the stemmer
//   may change a word's end ("kupus" gives "kupuh"), and `kupus*` must still
//   find "kupusište".
void put_prefix(const Token& prefix, TermSink& sink) {
  Text normal_scratch;
  const std::string_view normal = analysis::normalise_word(prefix.text, normal_scratch);
  if (normal.empty()) return;  // its stem is empty too
  if (char_count(normal) < shortest_stemmed_prefix) {
    sink.put(normal, prefix.bytes);
    return;
  }
  Text stem_scratch;
  const std::string_view stem = stem_word_into(prefix.text, stem_scratch);
  if (stem.empty()) {
    sink.put(normal, prefix.bytes);
    return;
  }
  if (sink.put(stem, prefix.bytes) && !normal.starts_with(stem)) {
    sink.put(normal, prefix.bytes, FTS5_TOKEN_COLOCATED);
  }
}

// Only the last token carries the prefix mark (FTS5 applies it to the last
// term of the phrase); the ones before it are whole words, as in any query.
int tokenize_prefix_query(const analysis::StopWords& stop_words, std::string_view query, TermSink& sink) {
  analysis::TokenScanner<Utf8Input::lenient> scanner(query);
  Token last;
  if (!scanner.next(last)) return SQLITE_OK;
  analysis::Analyzer analyzer(stop_words);
  for (Token next; scanner.next(next); last = next) {
    const std::string_view stem = analyzer.stem_token(last.text);
    if (!stem.empty() && !sink.put(stem, last.bytes)) return sink.status();
  }
  put_prefix(last, sink);
  return sink.status();
}

}  // namespace

int create_tokenizer(void* /*unused*/, const char** arguments, int argument_count, Fts5Tokenizer** out) noexcept {
  *out = nullptr;
  bool stop_words = false;
  for (int i = 0; i < argument_count; ++i) {
    if (!equals_ignoring_ascii_case(arguments[i], "stopwords")) return SQLITE_ERROR;
    stop_words = true;
  }
  auto* tokenizer =
      new (std::nothrow) Tokenizer(stop_words ? analysis::StopWords::serbian() : analysis::StopWords());
  if (tokenizer == nullptr) return SQLITE_NOMEM;
  *out = reinterpret_cast<Fts5Tokenizer*>(tokenizer);
  return SQLITE_OK;
}

void delete_tokenizer(Fts5Tokenizer* tokenizer) noexcept { delete reinterpret_cast<Tokenizer*>(tokenizer); }

int tokenize(Fts5Tokenizer* tokenizer, void* context, int flags, const char* text, int size,
             TokenCallback emit) noexcept {
  if (text == nullptr || size <= 0) return SQLITE_OK;
  const std::string_view input(text, static_cast<std::size_t>(size));
  const analysis::StopWords& stop_words = tokenizer_of(tokenizer).stop_words();
  TermSink sink(context, emit);
  try {
    if ((flags & FTS5_TOKENIZE_PREFIX) != 0) return tokenize_prefix_query(stop_words, input, sink);
    return tokenize_words(stop_words, input, sink);
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  } catch (...) {
    return SQLITE_ERROR;  // nothing else is thrown, but nothing may reach SQLite
  }
}

}  // namespace ardovel::sqlite
