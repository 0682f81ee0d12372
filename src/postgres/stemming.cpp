#include "stemming.hpp"

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ardovel/analyzer.hpp"

namespace ardovel::postgres {

// What a dictionary keeps of its scratch after a call, at most.
constexpr std::size_t kept_scratch_bytes = std::size_t{4} << 20;

class Dictionary {
 public:
  explicit Dictionary(AnalyzerOptions options) : analyzer_(std::move(options)) {}
  Analyzer& analyzer() noexcept { return analyzer_; }
  [[nodiscard]] const AnalyzerOptions& options() const noexcept { return analyzer_.options(); }

 private:
  Analyzer analyzer_;
};

namespace {

// Runs `work` and turns whatever it throws into a status.
template <class Work>
Status guarded(Work&& work) noexcept {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return Status::out_of_memory;
  } catch (...) {
    return Status::failed;
  }
}

Status copy(std::string_view key, KeyCopy& out) noexcept {
  out.size = key.size();
  if (key.empty()) return Status::ok;
  out.block = out.allocate(out.header + key.size() + 1);
  if (out.block == nullptr) return Status::out_of_memory;
  char* const at = out.block + out.header;
  std::memcpy(at, key.data(), key.size());
  at[key.size()] = '\0';
  return Status::ok;
}

}  // namespace

void set_lexicon_file(const char* path) noexcept { (void)ardovel::set_lexicon_file(path); }

bool lexicon_available() noexcept { return ardovel::lexicon_available(); }

Status make_dictionary(const char* const* words, std::size_t count, bool lemmas, bool fold,
                       Dictionary** made) noexcept {
  *made = nullptr;
  return guarded([&] {
    AnalyzerOptions options;
    options.lemmas = lemmas;
    options.fold = fold;
    if (count > 0) {
      const std::vector<std::string_view> list(words, words + count);
      options.stop_words = StopWords::from_words(list);
    }
    *made = new Dictionary(std::move(options));
    return Status::ok;
  });
}

void destroy_dictionary(Dictionary* dictionary) noexcept { delete dictionary; }

Status dictionary_key(Dictionary& dictionary, const char* token, std::size_t size, const Interruption& interruption,
                      KeyCopy& key) noexcept {
  Analyzer& analyzer = dictionary.analyzer();
  const Status status = guarded([&] {
    analyzer.set_interruption(interruption);
    const std::string_view found = analyzer.key({token, size});
    return analyzer.interrupted() ? Status::interrupted : copy(found, key);
  });
  analyzer.shrink_scratch(kept_scratch_bytes);
  return status;
}

Status stem_word(const char* word, std::size_t size, const Interruption& interruption, KeyCopy& stem) noexcept {
  return guarded([&] {
    Stemmer stemmer;  // on the heap only for a long word, and only for this call
    const std::optional<std::string_view> found = stemmer.stem({word, size}, interruption);
    return found ? copy(*found, stem) : Status::interrupted;
  });
}

namespace {

// A lexeme as tsquery reads it: quoted, with quotes and backslashes doubled.
void append_lexeme(std::string& out, std::string_view key, bool prefix) {
  out.push_back('\'');
  for (const char c : key) {
    if (c == '\'' || c == '\\') out.push_back(c);
    out.push_back(c);
  }
  out.push_back('\'');
  if (prefix) out.append(":*");
}

}  // namespace

Status prefix_query(const Dictionary* dictionary, const char* text, std::size_t size, KeyCopy& query) noexcept {
  return guarded([&] {
    std::string out;
    std::size_t group = std::string::npos;  // where the start's alternatives begin
    Analyzer analyzer(dictionary != nullptr ? dictionary->options() : AnalyzerOptions());
    analyzer.prefix_query(
        {text, size},
        [&](const QueryTerm& term) {
          if (term.alternative) {
            out.append(" | ");
          } else if (!out.empty()) {
            out.append(" & ");
          }
          if (term.prefix && group == std::string::npos) group = out.size();
          append_lexeme(out, term.key, term.prefix);
        },
        Utf8Input::lenient);
    if (group != std::string::npos && out.find(" | ", group) != std::string::npos) {
      out.insert(group, "(");
      out.push_back(')');
    }
    return copy(out, query);
  });
}

namespace {

TokenType type_of(std::string_view token) noexcept {
  switch (token_kind(token)) {
    case TokenKind::ascii_word:
      return ascii_word;
    case TokenKind::number:
      return unsigned_integer;
    case TokenKind::letters_and_digits:
      return letters_and_digits;
    case TokenKind::word:
      break;
  }
  return word;
}

}  // namespace

// The walk resumes from the state each time. Text PostgreSQL hands over is
// in the database's encoding, UTF-8, but it is read leniently all the same:
// a damaged value must not be read past its end.
TokenType next_token(ParserState& state, const char*& token, std::size_t& size) noexcept {
  if (state.pending_type != end_of_text) {
    token = state.text + state.pending_begin;
    size = state.pending_end - state.pending_begin;
    const TokenType type = state.pending_type;
    state.pending_type = end_of_text;
    return type;
  }
  if (state.at >= state.size) return end_of_text;
  const std::string_view text(state.text, state.size);
  TokenWalk walk(text.substr(state.at), Utf8Input::lenient);
  Token found;
  const std::size_t from = state.at;
  if (!walk.next(found)) {
    token = state.text + from;
    size = state.size - from;
    state.at = state.size;
    return blank;
  }
  const std::size_t begin = from + found.bytes.begin;
  const std::size_t end = from + found.bytes.end;
  state.at = end;
  if (begin > from) {
    state.pending_begin = begin;
    state.pending_end = end;
    state.pending_type = type_of(found.text);
    token = state.text + from;
    size = begin - from;
    return blank;
  }
  token = found.text.data();
  size = found.text.size();
  return type_of(found.text);
}

}  // namespace ardovel::postgres
