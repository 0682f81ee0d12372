// The text layer: a text's tokens, their keys, stop words, and the terms a
// query stands for. Every front end (Python, the command line, SQLite,
// PostgreSQL) makes its keys here, with the options its user chose passed
// through unchanged, so the same text gives the same keys everywhere.
//
// A token is a maximal run of characters none of which is a separator: the
// White_Space characters and the punctuation (P*), symbol (S*) and control
// (Cc) characters of Unicode 16.0.0. Letters, marks, digits and format
// characters (soft hyphen, zero-width joiner) stay inside a token.
//
// A token's key is its stem, exactly what stem_word gives for the token as
// written. A token whose key is empty, or whose normalised form (lower case,
// Latin, ekavian) is a stop word's, is left out.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ardovel/function_ref.hpp"
#include "ardovel/stem.hpp"

namespace ardovel {

// Half-open [begin, end).
struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
  friend bool operator==(const Span&, const Span&) = default;
};

struct Token {
  std::string_view text;  // the token as written: a view into the input
  Span bytes;             // byte offsets into the input
  // Code-point offsets into the input, for hosts that count characters
  // (Python's str indices). In lenient input each byte that does not start
  // a well-formed sequence counts as one position, as Python's
  // "surrogateescape" decoding would count it.
  Span chars;
};

enum class Utf8Input {
  valid,    // the caller guarantees well-formed UTF-8
  lenient,  // anything (SQLite hands over whatever bytes a row holds): each
            // byte that does not start a well-formed sequence separates
            // tokens, so a token only ever holds well-formed UTF-8
};

// Whether `c` separates tokens: for a host that cuts a long text into
// pieces without cutting a token.
[[nodiscard]] bool separates_tokens(char32_t c) noexcept;

// Every token of a text in order, one at a time, for a host that walks the
// text itself (a PostgreSQL parser hands over what lies between tokens
// too). Reads `text`, which must outlive it; allocates nothing.
class TokenWalk {
 public:
  explicit TokenWalk(std::string_view text, Utf8Input input = Utf8Input::valid) noexcept
      : text_(text), input_(input) {}

  // Fills `token` with the next token and returns true, or returns false at
  // the end of the text.
  bool next(Token& token) noexcept;

 private:
  std::string_view text_;
  Utf8Input input_;
  std::size_t at_ = 0;     // byte offset of the next unread character
  std::size_t chars_ = 0;  // code points before at_
};

// What a token is made of, for hosts that sort tokens as PostgreSQL's
// parsers do: only ASCII letters, only ASCII digits, letters and digits
// both, or anything else (letters of any script, marks, ...).
enum class TokenKind { ascii_word, number, letters_and_digits, word };
[[nodiscard]] TokenKind token_kind(std::string_view token) noexcept;

// A kept token and its key. `key` is valid only until the sink returns.
struct Term {
  Token token;
  std::string_view key;
};

// An immutable set of stop words, kept as normalised forms. A token is a stop
// word when its normalised form equals an entry's, so one Latin entry "su"
// also stops «СУ», «Су» and «SU», and an ijekavian entry its ekavian
// spelling. Copies share one table, so a set can be handed to many
// analyzers and threads; looking up allocates nothing.
class StopWords {
 public:
  // The empty set: nothing is a stop word.
  StopWords() noexcept = default;

  // The project's default list: Serbian prepositions, conjunctions,
  // particles, personal pronouns and the short forms of "biti" and "hteti",
  // from constant data (no allocation, no table built at run time).
  [[nodiscard]] static StopWords serbian() noexcept;
  // Its words as written (Latin, lower case), in the list's order.
  [[nodiscard]] static std::span<const std::string_view> serbian_words() noexcept;

  // A set of the given words, each valid UTF-8 in any script and case; an
  // entry whose normalised form is empty is ignored. Only std::bad_alloc
  // can escape.
  [[nodiscard]] static StopWords from_words(std::span<const std::string_view> words);

  // The same set with each entry's bald Latin form as well (č ć to c, š to
  // s, ž to z, đ to dj): what an analyzer whose keys are folded stops.
  // Only std::bad_alloc can escape.
  [[nodiscard]] StopWords with_bald_forms() const;

  // Whether `normalised`, already a normalised form, is in the set.
  [[nodiscard]] bool contains_normalised(std::string_view normalised) const noexcept;

  [[nodiscard]] bool empty() const noexcept { return count_ == 0; }
  [[nodiscard]] std::size_t size() const noexcept { return count_; }
  // No normalised form longer than this (in bytes) is in the set.
  [[nodiscard]] std::size_t longest() const noexcept { return longest_; }


 private:
  struct Storage;
  // A set of forms already normalised; empty ones are ignored.
  static StopWords from_normalised(const std::vector<std::string>& forms);
  StopWords(const std::string_view* slots, std::size_t slot_count, std::size_t count, std::size_t longest,
            std::shared_ptr<const Storage> storage) noexcept
      : slots_(slots), mask_(slot_count - 1), count_(count), longest_(longest), storage_(std::move(storage)) {}

  // Open addressing over a power-of-two count of slots, at most half of them
  // used, an empty view marking a free slot, linear probing from hash & mask.
  const std::string_view* slots_ = nullptr;
  std::size_t mask_ = 0;
  std::size_t count_ = 0;
  std::size_t longest_ = 0;
  std::shared_ptr<const Storage> storage_;  // null for constant data
};

// What a user chose: every front end passes these through unchanged.
struct AnalyzerOptions {
  StopWords stop_words;  // none unless given
  // The key is the token's lemma in ekavian Latin rather than its stem;
  // see lexicon_available().
  bool lemmas = false;
  // The key is bald Latin (č ć to c, š to s, ž to z, đ to dj), so that text
  // typed without diacritics meets text typed with them.
  bool fold = false;
};

// The lexicon that lemma keys need is a file the build makes from Debian's
// hunspell-sr (ardovel_lexicon.bin; Meson option `lemmas`), installed beside
// each front end that uses it. A host says once where it lies, before the
// first key; the core maps it read-only, so processes share its pages.
// Returns false when a path was named already (the first stays).
bool set_lexicon_file(std::string_view path) noexcept;
inline constexpr std::string_view lexicon_file_name = "ardovel_lexicon.bin";
// set_lexicon_file for the lexicon_file_name in the directory of the binary
// (program or shared module) this core is linked into, where a host that
// ships it beside itself put it.
bool set_lexicon_file_beside_this_binary() noexcept;

// Whether the lexicon is there to use. Without it an analyzer asked for
// lemmas gives stems, so front ends refuse `lemmas` first.
[[nodiscard]] bool lexicon_available() noexcept;

// One term a query stands for.
struct QueryTerm {
  std::string_view key;
  Span bytes;        // the query word it comes from
  bool prefix;       // it matches the keys that begin with it
  bool alternative;  // another term for the same word as the term before,
                     // either of which may match (FTS5: a colocated token)
};

// One Analyzer belongs to one thread at a time: it owns the scratch the keys
// are made in, so a whole text is analysed without allocating per token.
// Only std::bad_alloc, or whatever a sink throws, escapes.
class Analyzer {
 public:
  explicit Analyzer(AnalyzerOptions options = {});
  ~Analyzer();
  Analyzer(Analyzer&&) noexcept;
  Analyzer& operator=(Analyzer&&) noexcept;

  [[nodiscard]] const AnalyzerOptions& options() const noexcept;

  // Calls sink(term) for each kept token of `text`, in order, for as long as
  // it returns true (a sink returning void always goes on). Returns false
  // when the sink or the interruption stopped the walk.
  bool analyze(std::string_view text, FunctionRef<bool(const Term&)> sink, Utf8Input input = Utf8Input::valid);

  // The key of one token (valid UTF-8, taken whole as one word), or an empty
  // view when the token is left out. Valid until the next call.
  [[nodiscard]] std::string_view key(std::string_view token);

  // Whether `word` (valid UTF-8) is one of the stop words.
  [[nodiscard]] bool is_stop_word(std::string_view word);

  // The query side, one rule for every front end. A word typed as the start
  // of a word (FTS5's `knjig*`, Whoosh's `knjig*`, ardovel_prefix() in
  // PostgreSQL) is no stop word, and stands for every key that begins with
  // any of these terms, as alternatives:
  //  - its key, as if it were a whole word, so `knjiga*`, `knjige*` and
  //    `knjig*` all find "knjiga";
  //  - with lemma keys, its stem too: a start is seldom a word the lexicon
  //    knows, and `knjiž*` must find "knjiga" and "knjižara";
  //  - its normalised form (folded with the keys), when no other term is a
  //    start of it: stemming may change a word's end ("kupus" has the key
  //    "kupuh"), and `kupus*` must still find "kupusište".
  // A start of fewer than three letters is not stemmed at all: cutting an
  // ending off "ku" leaves "k", which matches far more than anyone typing
  // `ku*` means. In a pattern, `*` and `?` (any run, any one character)
  // stand in for letters while the key is made, and come back after.
  //
  // prefix_query: the terms of a query string whose last word is typed as
  // the start of a word; the words before it are whole words, keyed as in a
  // text. Returns false when the sink stopped.
  bool prefix_query(std::string_view query, FunctionRef<bool(const QueryTerm&)> sink,
                    Utf8Input input = Utf8Input::valid);
  // pattern_terms: the alternatives of one typed pattern (valid UTF-8,
  // taken whole) for a host that matches patterns against keys: `kupus*`
  // gives "kupuh*" and "kupus*", `k?pus` "k?puh" and "k?pus", `ku*` only
  // "ku*". A pattern without wildcards is a whole word: its key, if any.
  void pattern_terms(std::string_view pattern, FunctionRef<bool(std::string_view)> sink);

  // Asked while a token of megabytes is keyed. When it asks to stop, the
  // token counts as left out, analyze() stops at once and returns false,
  // and interrupted() says so until the interruption is set again.
  void set_interruption(Interruption interruption) noexcept;
  [[nodiscard]] bool interrupted() const noexcept;

  // Gives back scratch memory beyond `most` bytes that a long token made
  // the analyzer take, so that a host keeping an analyzer between calls (a
  // database session) does not keep a one-off block too. Ends the validity
  // of the last key.
  void shrink_scratch(std::size_t most) noexcept;

  struct Impl;

 private:
  friend struct AnalyzerAccess;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ardovel
