// libFuzzer target for the SQLite extension's FTS5 tokenizer, called the way
// FTS5 calls it, with arbitrary bytes: SQLite never checks that TEXT is
// UTF-8. For every input, in each mode (document with and without the stop
// list, query, prefix query), no crash or sanitizer report, and:
// - every term is non-empty valid UTF-8 and its byte span lies inside the
//   input, starts no earlier than the one before and is valid UTF-8;
// - only an alternative to the term before it is marked colocated, and it
//   shares that term's span;
// - a document's terms are those the strict analyzer gives for each
//   well-formed stretch of the input on its own, so each ill-formed byte
//   acts exactly as a separator, and each term is the key of its span;
// - a callback that fails stops the walk at once, and its status comes back.
//
// Needs the text layer and src/sqlite/fts5_tokenizer.cpp besides the core;
// SQLite itself is not linked (only its header is read).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ardovel/analyzer.hpp"
#include "ardovel/utf8.hpp"
#include "fuzz_input.hpp"
#include "sqlite/fts5_tokenizer.hpp"

namespace {

using ardovel::fuzz::escaped;
using ardovel::fuzz::invariant_failed;

struct Term {
  std::string text;
  int flags;
  int begin;
  int end;
  friend bool operator==(const Term&, const Term&) = default;
};

struct Collected {
  std::vector<Term> terms;
  std::size_t fail_at = SIZE_MAX;  // the callback's answer for this call is an error
  std::size_t calls = 0;
};

int collect(void* context, int flags, const char* term, int term_size, int begin, int end) {
  auto& collected = *static_cast<Collected*>(context);
  if (collected.calls++ == collected.fail_at) return SQLITE_ABORT;
  collected.terms.push_back({std::string(term, static_cast<std::size_t>(term_size)), flags, begin, end});
  return SQLITE_OK;
}

// One tokenizer from xCreate to xDelete, as FTS5 holds it for a table.
class OwnedTokenizer {
 public:
  explicit OwnedTokenizer(bool stop_words) {
    const char* argument = "StopWords";  // any ASCII case
    if (ardovel::sqlite::create_tokenizer(nullptr, &argument, stop_words ? 1 : 0, &tokenizer_) != SQLITE_OK) {
      invariant_failed("the tokenizer could not be made", "", "");
    }
  }
  OwnedTokenizer(const OwnedTokenizer&) = delete;
  OwnedTokenizer& operator=(const OwnedTokenizer&) = delete;
  ~OwnedTokenizer() { ardovel::sqlite::delete_tokenizer(tokenizer_); }
  [[nodiscard]] Fts5Tokenizer* get() const noexcept { return tokenizer_; }

 private:
  Fts5Tokenizer* tokenizer_ = nullptr;
};

std::vector<Term> run(Fts5Tokenizer* tokenizer, int flags, std::string_view input) {
  Collected collected;
  const int status = ardovel::sqlite::tokenize(tokenizer, &collected, flags, input.data(),
                                               static_cast<int>(input.size()), collect);
  if (status != SQLITE_OK) invariant_failed("tokenize failed", escaped(input), std::to_string(status));
  return std::move(collected.terms);
}

void check_terms(const std::vector<Term>& terms, std::string_view input) {
  int last_begin = 0;
  for (std::size_t i = 0; i < terms.size(); ++i) {
    const Term& term = terms[i];
    if (term.text.empty() || !ardovel::is_valid_utf8(term.text)) invariant_failed("bad term", escaped(input), term.text);
    if (term.begin < last_begin || term.begin >= term.end || static_cast<std::size_t>(term.end) > input.size()) {
      invariant_failed("term span out of order or out of bounds", escaped(input), term.text);
    }
    const std::string_view span = input.substr(static_cast<std::size_t>(term.begin),
                                               static_cast<std::size_t>(term.end - term.begin));
    if (!ardovel::is_valid_utf8(span)) invariant_failed("term span is not valid UTF-8", escaped(input), escaped(span));
    if ((term.flags & FTS5_TOKEN_COLOCATED) != 0) {
      if (i == 0 || terms[i - 1].begin != term.begin || terms[i - 1].end != term.end) {
        invariant_failed("colocated term without its own span before it", escaped(input), term.text);
      }
    }
    last_begin = term.begin;
  }
}

// The document's terms by the strict path: each well-formed stretch on its
// own, offsets moved to the stretch's place.
std::vector<Term> expected_document_terms(std::string_view input, const ardovel::StopWords& stop_words) {
  std::vector<Term> terms;
  ardovel::Analyzer analyzer(ardovel::AnalyzerOptions{stop_words});
  const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
  std::size_t stretch = 0;
  for (std::size_t at = 0; at <= input.size();) {
    const std::size_t length = at < input.size() ? ardovel::well_formed_utf8_length(bytes + at, input.size() - at) : 0;
    if (length != 0) {
      at += length;
      continue;
    }
    analyzer.analyze(input.substr(stretch, at - stretch), [&](const ardovel::Term& term) {
      terms.push_back({std::string(term.key), 0, static_cast<int>(stretch + term.token.bytes.begin),
                       static_cast<int>(stretch + term.token.bytes.end)});
    });
    stretch = ++at;
  }
  return terms;
}

void check_document(Fts5Tokenizer* tokenizer, const ardovel::StopWords& stop_words, std::string_view input) {
  const std::vector<Term> terms = run(tokenizer, FTS5_TOKENIZE_DOCUMENT, input);
  check_terms(terms, input);
  if (terms != expected_document_terms(input, stop_words)) {
    invariant_failed("document terms differ from the strict analyzer's over the well-formed stretches",
                     escaped(input), std::to_string(terms.size()) + " terms");
  }
  ardovel::Analyzer plain;
  for (const Term& term : terms) {
    const std::string_view span = input.substr(static_cast<std::size_t>(term.begin),
                                               static_cast<std::size_t>(term.end - term.begin));
    if (plain.key(span) != term.text) invariant_failed("term is not its span's key", escaped(span), term.text);
  }
}

void check_stop_on_failure(Fts5Tokenizer* plain, std::string_view input, std::size_t fail_at) {
  Collected collected;
  collected.fail_at = fail_at;
  const int status = ardovel::sqlite::tokenize(plain, &collected, FTS5_TOKENIZE_DOCUMENT, input.data(),
                                               static_cast<int>(input.size()), collect);
  const bool failed = collected.calls > fail_at;
  if ((status == SQLITE_ABORT) != failed || collected.calls > fail_at + 1) {
    invariant_failed("a failing callback did not stop the walk with its status", escaped(input),
                     std::to_string(status));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const OwnedTokenizer plain(false);
  const OwnedTokenizer stopping(true);
  check_document(plain.get(), {}, input);
  check_document(stopping.get(), ardovel::StopWords::serbian(), input);
  check_terms(run(stopping.get(), FTS5_TOKENIZE_QUERY, input), input);
  check_terms(run(stopping.get(), FTS5_TOKENIZE_QUERY | FTS5_TOKENIZE_PREFIX, input), input);
  check_terms(run(plain.get(), FTS5_TOKENIZE_QUERY | FTS5_TOKENIZE_PREFIX, input), input);
  check_stop_on_failure(plain.get(), input, size == 0 ? 0 : data[0] % 8);
  return 0;
}
