// The FTS5 tokenizer "ardovel": the text layer's tokens and stems, handed to
// FTS5 with byte offsets into the text as stored, so highlight() and
// snippet() mark the words as written, in either script.
//
// SQLite does not check that TEXT is UTF-8, so every text is read leniently:
// a byte that does not start a well-formed sequence separates tokens, like a
// space. Nothing here calls SQLite; FTS5 reaches these functions through the
// fts5_tokenizer table, and the fuzz target calls them directly.
//
// No exception leaves them: memory exhaustion becomes SQLITE_NOMEM.
#pragma once

#include <sqlite3.h>

namespace ardovel::sqlite {

// FTS5's xToken: takes one term and returns SQLITE_OK to go on.
using TokenCallback = int (*)(void* context, int flags, const char* term, int term_size, int begin, int end);

// xCreate. The arguments are the words after the tokenizer's name in
// `tokenize = 'ardovel ...'`, in any order and case: "stopwords" turns on
// the default stop list, "lemmas" makes lemmas the keys, "fold" bald Latin.
// Any other word is an error (SQLITE_ERROR), so a typo is not silently
// ignored, and so is "lemmas" in a build without the lexicon. The tokenizer
// made is released by delete_tokenizer.
int create_tokenizer(void* unused, const char** arguments, int argument_count, Fts5Tokenizer** out) noexcept;

// xDelete.
void delete_tokenizer(Fts5Tokenizer* tokenizer) noexcept;

// xTokenize. Documents, queries and auxiliary functions get the same terms:
// the stem of each kept token. A query string that ends in a prefix mark
// (FTS5_TOKENIZE_PREFIX, as in `knjig*`) gets its last token treated as the
// start of a word rather than a word: see tokenize_prefix_query. Returns the
// first status other than SQLITE_OK that `emit` gave, if any.
int tokenize(Fts5Tokenizer* tokenizer, void* context, int flags, const char* text, int size,
             TokenCallback emit) noexcept;

// The three together, as FTS5 registers them (it copies the table).
[[nodiscard]] inline fts5_tokenizer tokenizer_methods() noexcept {
  return fts5_tokenizer{create_tokenizer, delete_tokenizer, tokenize};
}

}  // namespace ardovel::sqlite
