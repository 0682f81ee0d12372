// The PostgreSQL side of the extension: the entry points PostgreSQL calls.
//
// PostgreSQL raises errors with longjmp, straight past any C++ destructor,
// so this file is written as C in C++ clothing: its functions own no C++
// object, and every call into the stemmer goes through stemming.hpp, whose
// functions catch everything and answer with a status. Only after such a
// call has returned does an entry point raise an error, with ereport().
#include <cstring>

#include "stemming.hpp"

// PostgreSQL 15 leaves PGDLLEXPORT empty on ELF platforms, and this module
// is built with hidden symbols, so the entry points must say they are meant
// to be seen.
#define PGDLLEXPORT __attribute__((visibility("default")))

extern "C" {
#include "postgres.h"

#include "commands/defrem.h"
#include "fmgr.h"
#include "mb/pg_wchar.h"
#include "miscadmin.h"
#include "nodes/pg_list.h"
#include "tsearch/ts_public.h"
#include "tsearch/ts_cache.h"
#include "tsearch/ts_type.h"
#include "utils/builtins.h"
#include "utils/palloc.h"

PG_MODULE_MAGIC;

PGDLLEXPORT void _PG_init(void);

PGDLLEXPORT Datum ardovel_dict_init(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_dict_lexize(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_stem(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_prefix(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_prefix_with(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_parser_start(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_parser_next(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_parser_end(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_parser_types(PG_FUNCTION_ARGS);
PG_FUNCTION_INFO_V1(ardovel_prefix);
PG_FUNCTION_INFO_V1(ardovel_prefix_with);
PG_FUNCTION_INFO_V1(ardovel_parser_start);
PG_FUNCTION_INFO_V1(ardovel_parser_next);
PG_FUNCTION_INFO_V1(ardovel_parser_end);
PG_FUNCTION_INFO_V1(ardovel_parser_types);
PG_FUNCTION_INFO_V1(ardovel_dict_init);
PG_FUNCTION_INFO_V1(ardovel_dict_lexize);
PG_FUNCTION_INFO_V1(ardovel_stem);
}

namespace {

using ardovel::postgres::Dictionary;
using ardovel::postgres::Status;
using ardovel::postgres::KeyCopy;
using ardovel::postgres::ParserState;
using ardovel::postgres::TokenType;

// A query cancel, a statement timeout or a terminate request sets this
// flag from a signal handler; the stemmer asks it between pieces of a long
// word and gives up, and the interrupt is served here, outside C++.
bool interrupt_pending(void* /*unused*/) noexcept { return InterruptPending; }
constexpr ardovel::Interruption backend_interruption{interrupt_pending, nullptr};

// The stemmer reads UTF-8, and text reaches it in the database encoding.
void require_utf8_database() {
  if (GetDatabaseEncoding() == PG_UTF8) return;
  ereport(ERROR, (errcode(ERRCODE_FEATURE_NOT_SUPPORTED),
                  errmsg("ardovel works only in UTF8 databases, and this database's encoding is %s",
                         GetDatabaseEncodingName()),
                  errhint("Create the database with ENCODING 'UTF8', or use ardovel in another database.")));
}

void raise_on_failure(Status status) {
  switch (status) {
    case Status::ok:
      return;
    case Status::out_of_memory:
      ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory"),
                      errdetail("The ardovel stemmer could not allocate memory.")));
    case Status::interrupted:
    case Status::failed:
      break;
  }
  ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR), errmsg("unexpected failure in the ardovel stemmer")));
}

// Runs a stemming call until it finishes. One that stopped for an
// interrupt is answered by CHECK_FOR_INTERRUPTS(), which raises the cancel
// or timeout error; an interrupt that raises nothing (a barrier, a
// notification) lets the call start again.
template <class Call>
void stem_until_done(Call call) {
  for (;;) {
    const Status status = call();
    if (status != Status::interrupted) {
      raise_on_failure(status);
      return;
    }
    CHECK_FOR_INTERRUPTS();
  }
}

// Memory for a key in the call's memory context, which PostgreSQL frees
// with the call, also when it ends in an error. Never unwinds: the C++ side
// calls it.
char* key_space(std::size_t size) noexcept {
  return static_cast<char*>(palloc_extended(size, MCXT_ALLOC_HUGE | MCXT_ALLOC_NO_OOM));
}

// What a dictionary hands PostgreSQL as its data. It lives in the
// dictionary's memory context, whose reset or deletion (on ALTER TEXT SEARCH
// DICTIONARY, at the end of the statement that validated the options, or at
// backend exit) destroys the C++ dictionary through `release`.
struct DictionaryData {
  Dictionary* dictionary;
  MemoryContextCallback release;
};

void destroy_dictionary(void* dictionary) {
  ardovel::postgres::destroy_dictionary(static_cast<Dictionary*>(dictionary));
}

// The dictionary's options, as PostgreSQL's own dictionaries take them:
// StopWords names a file NAME.stop under $sharedir/tsearch_data, one word
// a line, in UTF-8 (words match on their normalised form, so they may be
// written in either script and any case); Lemmas and Fold are booleans.
struct Options {
  StopList stop_words = {0, nullptr};
  bool lemmas = false;
  bool fold = false;
};

Options read_options(List* given) {
  Options options;
  bool stop_words_given = false;
  bool lemmas_given = false;
  bool fold_given = false;
  const auto once = [](bool& given, const char* name) {
    if (given) ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE), errmsg("multiple %s parameters", name)));
    given = true;
  };
  ListCell* cell = nullptr;
  foreach (cell, given) {
    DefElem* option = static_cast<DefElem*>(lfirst(cell));
    if (std::strcmp(option->defname, "stopwords") == 0) {
      once(stop_words_given, "StopWords");
      readstoplist(defGetString(option), &options.stop_words, nullptr);
    } else if (std::strcmp(option->defname, "lemmas") == 0) {
      once(lemmas_given, "Lemmas");
      options.lemmas = defGetBoolean(option);
    } else if (std::strcmp(option->defname, "fold") == 0) {
      once(fold_given, "Fold");
      options.fold = defGetBoolean(option);
    } else {
      ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                      errmsg("unrecognized ardovel parameter: \"%s\"", option->defname)));
    }
  }
  if (options.lemmas && !ardovel::postgres::lexicon_available()) {
    ereport(ERROR, (errcode(ERRCODE_FEATURE_NOT_SUPPORTED),
                    errmsg("this build of ardovel has no lexicon, which Lemmas needs"),
                    errhint("Build ardovel where Debian's hunspell-sr is installed.")));
  }
  return options;
}

}  // namespace

// The lexicon lies with PostgreSQL's other text-search data, which
// `make postgres-install` puts it beside; every backend maps the same file.
extern "C" void _PG_init(void) {
  char share[MAXPGPATH];
  get_share_path(my_exec_path, share);
  char path[MAXPGPATH];
  snprintf(path, sizeof path, "%s/tsearch_data/ardovel_lexicon.bin", share);
  ardovel::postgres::set_lexicon_file(path);
}

extern "C" Datum ardovel_dict_init(PG_FUNCTION_ARGS) {
  // Init also runs when CREATE TEXT SEARCH DICTIONARY checks the options,
  // so a database of another encoding hears about it as early as possible,
  // and lexize, which always follows init, need not ask again.
  require_utf8_database();
  const Options options = read_options(reinterpret_cast<List*>(PG_GETARG_POINTER(0)));

  // The holder first: should palloc fail, no C++ dictionary exists yet.
  auto* data = static_cast<DictionaryData*>(palloc0(sizeof(DictionaryData)));
  raise_on_failure(ardovel::postgres::make_dictionary(options.stop_words.stop,
                                                      static_cast<std::size_t>(options.stop_words.len),
                                                      options.lemmas, options.fold, &data->dictionary));
  data->release.func = destroy_dictionary;
  data->release.arg = data->dictionary;
  MemoryContextRegisterResetCallback(CurrentMemoryContext, &data->release);
  PG_RETURN_POINTER(data);
}

// One token (in the database encoding, not zero-terminated) in, its stem
// out. An empty stem, or a stop word, gives an empty lexeme array: the
// token is known and indexes nothing, as PostgreSQL dictionaries say it.
extern "C" Datum ardovel_dict_lexize(PG_FUNCTION_ARGS) {
  auto* data = reinterpret_cast<DictionaryData*>(PG_GETARG_POINTER(0));
  const char* token = PG_GETARG_POINTER(1);
  const auto size = static_cast<std::size_t>(PG_GETARG_INT32(2));

  KeyCopy key{key_space};
  stem_until_done(
      [&] { return ardovel::postgres::dictionary_key(*data->dictionary, token, size, backend_interruption, key); });
  auto* lexemes = static_cast<TSLexeme*>(palloc0(sizeof(TSLexeme) * 2));  // ends with a null lexeme
  lexemes[0].lexeme = key.block;
  PG_RETURN_POINTER(lexemes);
}

extern "C" Datum ardovel_stem(PG_FUNCTION_ARGS) {
  require_utf8_database();
  const text* word = PG_GETARG_TEXT_PP(0);

  KeyCopy stem{key_space, VARHDRSZ};
  stem_until_done([&] {
    return ardovel::postgres::stem_word(VARDATA_ANY(word), VARSIZE_ANY_EXHDR(word), backend_interruption, stem);
  });
  if (stem.size > MaxAllocSize - VARHDRSZ) {
    ereport(ERROR, (errcode(ERRCODE_PROGRAM_LIMIT_EXCEEDED),
                    errmsg("the ardovel stem of this word is too long for a text value (%zu bytes)", stem.size)));
  }
  auto* result = reinterpret_cast<text*>(stem.block != nullptr ? stem.block : palloc(VARHDRSZ));
  SET_VARSIZE(result, VARHDRSZ + stem.size);
  PG_RETURN_TEXT_P(result);
}

namespace {

// A dictionary is not told whether its word was typed whole or as the start
// of one, so `:*` applies to the key of a whole word ('kupus:*' becomes
// 'kupuh':*, which misses "kupusište"). These give what the query rule of
// every front end gives for a typed start: with the default options, or
// with those of an ardovel dictionary.
Datum prefix_query(const Dictionary* dictionary, const text* typed) {
  require_utf8_database();
  KeyCopy query{key_space};
  stem_until_done([&] {
    return ardovel::postgres::prefix_query(dictionary, VARDATA_ANY(typed), VARSIZE_ANY_EXHDR(typed), query);
  });
  if (query.block == nullptr) {
    auto* empty = static_cast<TSQuery>(palloc0(HDRSIZETQ));
    SET_VARSIZE(empty, HDRSIZETQ);
    PG_RETURN_TSQUERY(empty);
  }
  return DirectFunctionCall1(tsqueryin, CStringGetDatum(query.block));
}

}  // namespace

extern "C" Datum ardovel_prefix(PG_FUNCTION_ARGS) { return prefix_query(nullptr, PG_GETARG_TEXT_PP(0)); }

extern "C" Datum ardovel_prefix_with(PG_FUNCTION_ARGS) {
  TSDictionaryCacheEntry* entry = lookup_ts_dictionary_cache(PG_GETARG_OID(0));
  if (entry->lexize.fn_addr != ardovel_dict_lexize) {
    ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                    errmsg("text search dictionary \"%s\" is not an ardovel dictionary",
                           DatumGetCString(DirectFunctionCall1(regdictionaryout, PG_GETARG_DATUM(0))))));
  }
  const auto* data = static_cast<const DictionaryData*>(entry->dictData);
  return prefix_query(data->dictionary, PG_GETARG_TEXT_PP(1));
}

// The parser's walk lives in the call's memory: a ParserState needs no
// destructor, so an error between two tokens leaves nothing behind.
extern "C" Datum ardovel_parser_start(PG_FUNCTION_ARGS) {
  auto* state = static_cast<ParserState*>(palloc(sizeof(ParserState)));
  *state = ParserState{static_cast<const char*>(PG_GETARG_POINTER(0)), static_cast<std::size_t>(PG_GETARG_INT32(1))};
  PG_RETURN_POINTER(state);
}

extern "C" Datum ardovel_parser_next(PG_FUNCTION_ARGS) {
  auto* state = reinterpret_cast<ParserState*>(PG_GETARG_POINTER(0));
  auto** token = reinterpret_cast<const char**>(PG_GETARG_POINTER(1));
  auto* size = reinterpret_cast<int*>(PG_GETARG_POINTER(2));
  std::size_t length = 0;
  const TokenType type = ardovel::postgres::next_token(*state, *token, length);
  *size = static_cast<int>(length);  // within the text, whose size is an int
  PG_RETURN_INT32(type);
}

extern "C" Datum ardovel_parser_end(PG_FUNCTION_ARGS) {
  pfree(PG_GETARG_POINTER(0));
  PG_RETURN_VOID();
}

// The token types, by the names and numbers of the default parser's, so
// that configurations, ts_debug and the borrowed headline function read
// them as they read its own.
extern "C" Datum ardovel_parser_types(PG_FUNCTION_ARGS) {
  struct Type {
    TokenType id;
    const char* alias;
    const char* description;
  };
  static const Type types[] = {
      {TokenType::ascii_word, "asciiword", "Word, all ASCII"},
      {TokenType::word, "word", "Word, all letters"},
      {TokenType::letters_and_digits, "numword", "Word, letters and digits"},
      {TokenType::blank, "blank", "Space symbols"},
      {TokenType::unsigned_integer, "uint", "Unsigned integer"},
  };
  constexpr std::size_t count = sizeof types / sizeof types[0];
  auto* descriptions = static_cast<LexDescr*>(palloc(sizeof(LexDescr) * (count + 1)));
  for (std::size_t i = 0; i < count; ++i) {
    descriptions[i].lexid = static_cast<int>(types[i].id);
    descriptions[i].alias = pstrdup(types[i].alias);
    descriptions[i].descr = pstrdup(types[i].description);
  }
  descriptions[count].lexid = 0;
  PG_RETURN_POINTER(descriptions);
}
