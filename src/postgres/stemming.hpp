// The extension's C++ side: the text layer behind a small interface of
// plain types that the PostgreSQL glue can call.
//
// PostgreSQL unwinds with longjmp, which skips C++ destructors, and its
// headers redefine names the C++ library uses, so the two never meet in one
// translation unit: extension.cpp includes PostgreSQL's headers and this
// file only. Every function here is noexcept and reports failure as a
// value; the glue turns that value into ereport() once it is back in code
// that owns no C++ object.
//
// A backend lives long and serves any role, so no call keeps memory that a
// long word made it take: a key is copied into memory the glue allocates in
// the call's memory context, and the scratch a dictionary keeps between
// calls is given back when it grew past a few megabytes.
#pragma once

#include <cstddef>

#include "ardovel/stem.hpp"

namespace ardovel::postgres {

enum class Status {
  ok,
  out_of_memory,
  interrupted,  // the interruption asked to stop; nothing was made
  failed,       // anything else a C++ call threw; never expected
};

// Where a key goes: `allocate` gives `size` bytes, or null when memory is
// exhausted, and must not unwind (palloc_extended with MCXT_ALLOC_NO_OOM).
// The key is written `header` bytes into them, with a zero byte after it,
// so that the glue can make a text value of it where it lies.
struct KeyCopy {
  char* (*allocate)(std::size_t size) noexcept;
  std::size_t header = 0;
  char* block = nullptr;  // what `allocate` gave; null for an empty key
  std::size_t size = 0;
};

// One text-search dictionary's state: an analyzer and its options. Opaque
// to the glue, which holds it through a pointer and destroys it when the
// dictionary's memory context goes away.
class Dictionary;

// Makes a dictionary whose stop words are `words` (each zero-terminated,
// valid UTF-8, in any script and case; `count` may be 0), with lemmas or
// stems as keys, folded to bald Latin or not. On success `*made` owns a new
// dictionary; otherwise it is left null.
Status make_dictionary(const char* const* words, std::size_t count, bool lemmas, bool fold,
                       Dictionary** made) noexcept;

// Where the lexicon file lies, and whether it is there to use.
void set_lexicon_file(const char* path) noexcept;
bool lexicon_available() noexcept;
void destroy_dictionary(Dictionary* dictionary) noexcept;

// The key of one token (valid UTF-8), or an empty key when the token is
// left out: its key is empty, or it is one of the dictionary's stop words.
Status dictionary_key(Dictionary& dictionary, const char* token, std::size_t size, const Interruption& interruption,
                      KeyCopy& key) noexcept;

// The stem of one word (valid UTF-8), with no stop words: exactly what the
// Python module's stem_py gives.
Status stem_word(const char* word, std::size_t size, const Interruption& interruption, KeyCopy& stem) noexcept;

// The query a text stands for whose last word is typed as the start of a
// word (the query rule of every front end), in tsquery's syntax: the
// earlier words' keys joined by "&", then the start's alternatives, each a
// prefix, joined by "|". Empty when the text has no key.
// `dictionary` gives the options (stop words, lemmas, fold), or is null for
// the defaults.
Status prefix_query(const Dictionary* dictionary, const char* text, std::size_t size, KeyCopy& query) noexcept;

// The text-search parser: the project's tokens, and what lies between them
// as "blank" tokens, so that ts_headline can give the text back whole. The
// type numbers are those of PostgreSQL's default parser, whose headline
// function the parser borrows and which reads them.
enum TokenType : int {
  end_of_text = 0,
  ascii_word = 1,          // ASCII letters only
  word = 2,                // letters (any script, with marks) and whatever else is no digit
  letters_and_digits = 3,  // letters and digits
  blank = 12,              // separators: white space, punctuation, symbols
  unsigned_integer = 22,   // ASCII digits only
};

// A walk over one text, in plain types that live in PostgreSQL's memory:
// nothing in it needs destroying.
struct ParserState {
  const char* text;
  std::size_t size;
  std::size_t at = 0;  // where the next token or blank starts
  // A token found after a blank, handed over on the next call.
  std::size_t pending_begin = 0;
  std::size_t pending_end = 0;
  TokenType pending_type = end_of_text;
};

// The next token or blank of the text: its type (end_of_text at the end),
// with `token` and `size` set to its bytes.
TokenType next_token(ParserState& state, const char*& token, std::size_t& size) noexcept;

}  // namespace ardovel::postgres
