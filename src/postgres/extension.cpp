// The PostgreSQL side of the extension: the entry points PostgreSQL calls.
//
// PostgreSQL raises errors with longjmp, straight past any C++ destructor,
// so this file is written as C in C++ clothing: its functions own no C++
// object, and every call into the stemmer goes through stemming.hpp, whose
// functions catch everything and answer with a status. Only after such a
// call has returned does an entry point raise an error, with ereport().
#include <cstring>

#include "postgres/stemming.hpp"

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
#include "utils/builtins.h"
#include "utils/palloc.h"

PG_MODULE_MAGIC;

PGDLLEXPORT Datum ardovel_dict_init(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_dict_lexize(PG_FUNCTION_ARGS);
PGDLLEXPORT Datum ardovel_stem(PG_FUNCTION_ARGS);
PG_FUNCTION_INFO_V1(ardovel_dict_init);
PG_FUNCTION_INFO_V1(ardovel_dict_lexize);
PG_FUNCTION_INFO_V1(ardovel_stem);
}

namespace {

using ardovel::postgres::Dictionary;
using ardovel::postgres::Status;
using ardovel::postgres::StemBuffer;

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

// Room for the stem of `size` bytes in the call's memory context, which
// PostgreSQL frees with the call, also when it ends in an error.
char* stem_space(std::size_t bytes) { return static_cast<char*>(palloc_extended(bytes, MCXT_ALLOC_HUGE)); }

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
// a line, in UTF-8. Words match on their normalised form, so they may be
// written in either script and any case.
StopList read_options(List* options) {
  StopList stop_words = {0, nullptr};
  bool stop_words_given = false;
  ListCell* cell = nullptr;
  foreach (cell, options) {
    DefElem* option = static_cast<DefElem*>(lfirst(cell));
    if (std::strcmp(option->defname, "stopwords") == 0) {
      if (stop_words_given) {
        ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE), errmsg("multiple StopWords parameters")));
      }
      readstoplist(defGetString(option), &stop_words, nullptr);
      stop_words_given = true;
    } else {
      ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                      errmsg("unrecognized ardovel parameter: \"%s\"", option->defname)));
    }
  }
  return stop_words;
}

}  // namespace

extern "C" Datum ardovel_dict_init(PG_FUNCTION_ARGS) {
  // Init also runs when CREATE TEXT SEARCH DICTIONARY checks the options,
  // so a database of another encoding hears about it as early as possible,
  // and lexize, which always follows init, need not ask again.
  require_utf8_database();
  const StopList stop_words = read_options(reinterpret_cast<List*>(PG_GETARG_POINTER(0)));

  // The holder first: should palloc fail, no C++ dictionary exists yet.
  auto* data = static_cast<DictionaryData*>(palloc0(sizeof(DictionaryData)));
  raise_on_failure(ardovel::postgres::make_dictionary(stop_words.stop, static_cast<std::size_t>(stop_words.len),
                                                      &data->dictionary));
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

  const std::size_t room = ardovel::postgres::stem_room(size);
  StemBuffer stem{stem_space(room + 1), room};  // and the terminating zero
  stem_until_done(
      [&] { return ardovel::postgres::dictionary_stem(*data->dictionary, token, size, backend_interruption, stem); });

  auto* lexemes = static_cast<TSLexeme*>(palloc0(sizeof(TSLexeme) * 2));  // ends with a null lexeme
  if (stem.size > 0) {
    stem.data[stem.size] = '\0';
    lexemes[0].lexeme = stem.data;
  } else {
    pfree(stem.data);
  }
  PG_RETURN_POINTER(lexemes);
}

extern "C" Datum ardovel_stem(PG_FUNCTION_ARGS) {
  require_utf8_database();
  const text* word = PG_GETARG_TEXT_PP(0);
  const std::size_t size = VARSIZE_ANY_EXHDR(word);

  const std::size_t room = ardovel::postgres::stem_room(size);
  auto* result = reinterpret_cast<text*>(stem_space(VARHDRSZ + room));
  StemBuffer stem{VARDATA(result), room};
  stem_until_done([&] { return ardovel::postgres::stem_word(VARDATA_ANY(word), size, backend_interruption, stem); });
  if (stem.size > MaxAllocSize - VARHDRSZ) {
    ereport(ERROR, (errcode(ERRCODE_PROGRAM_LIMIT_EXCEEDED),
                    errmsg("the ardovel stem of this word is too long for a text value (%zu bytes)", stem.size)));
  }
  SET_VARSIZE(result, VARHDRSZ + stem.size);
  PG_RETURN_TEXT_P(result);
}
