// The loadable SQLite extension: registers the FTS5 tokenizer "ardovel" and
// the SQL function ardovel_stem(word) on the connection that loads it.
//
// SQLite is reached only through the routine table handed to the entry
// point (sqlite3ext.h), so the module links against no libsqlite3 and works
// in whichever SQLite loads it: Python's sqlite3 or the sqlite3 shell.
#include <sqlite3ext.h>

#include <new>
#include <string_view>

#include "ardovel/analyzer.hpp"
#include "ardovel/stem.hpp"
#include "ardovel/utf8.hpp"
#include "fts5_tokenizer.hpp"

SQLITE_EXTENSION_INIT1

namespace {

// FTS5 hands out its API through a pointer-passing SQL function.
fts5_api* fts5_of(sqlite3* db) noexcept {
  fts5_api* api = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
    sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
  }
  sqlite3_finalize(statement);
  return api;
}

// The value's bytes once SQLite has made it TEXT (a BLOB keeps its bytes).
// SQLite answers NULL both for an empty BLOB and when converting a number
// ran out of memory; false means the latter.
bool text_of(sqlite3_value* value, std::string_view& word) noexcept {
  const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
  const int size = sqlite3_value_bytes(value);
  if (bytes == nullptr) {
    word = {};
    const int type = sqlite3_value_type(value);
    return size == 0 && (type == SQLITE_TEXT || type == SQLITE_BLOB);
  }
  word = std::string_view(bytes, static_cast<std::size_t>(size));
  return true;
}

// ardovel_stem(word): the stem of the whole text as one word, as stem_py
// gives it. NULL gives NULL; a value that is not valid UTF-8 (a BLOB, or
// TEXT that SQLite never checked) is an error, since it is no word.
void stem_function(sqlite3_context* context, int /*count*/, sqlite3_value** arguments) noexcept {
  sqlite3_value* argument = arguments[0];
  if (sqlite3_value_type(argument) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  std::string_view word;
  if (!text_of(argument, word)) {
    sqlite3_result_error_nomem(context);
    return;
  }
  if (!ardovel::is_valid_utf8(word)) {
    sqlite3_result_error(context, "ardovel_stem: the argument is not valid UTF-8", -1);
    return;
  }
  try {
    ardovel::Stemmer stemmer;
    const std::string_view stem = stemmer.stem(word);
    sqlite3_result_text(context, stem.data(), static_cast<int>(stem.size()), SQLITE_TRANSIENT);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  } catch (...) {
    sqlite3_result_error(context, "ardovel_stem: internal error", -1);
  }
}

int register_tokenizer(sqlite3* db, char** error) noexcept {
  fts5_api* fts5 = fts5_of(db);
  if (fts5 == nullptr) {
    *error = sqlite3_mprintf("ardovel: this SQLite has no FTS5");
    return SQLITE_ERROR;
  }
  fts5_tokenizer methods = ardovel::sqlite::tokenizer_methods();
  return fts5->xCreateTokenizer(fts5, "ardovel", nullptr, &methods, nullptr);
}

int register_stem_function(sqlite3* db) noexcept {
  return sqlite3_create_function_v2(db, "ardovel_stem", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                    nullptr, stem_function, nullptr, nullptr, nullptr);
}

}  // namespace

// The entry point SQLite derives from the file name ardovel_sqlite.so; the
// one symbol the module exports.
extern "C" __attribute__((visibility("default"))) int sqlite3_ardovelsqlite_init(
    sqlite3* db, char** error, const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api)
  (void)ardovel::set_lexicon_file_beside_this_binary();  // in the Python package
  int status = register_tokenizer(db, error);
  if (status == SQLITE_OK) status = register_stem_function(db);
  return status;
}
