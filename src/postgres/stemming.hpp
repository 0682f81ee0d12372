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
// long word made it take: a stem is written into the glue's memory, which
// belongs to the call's memory context, and the scratch a dictionary keeps
// between calls is given back when it grew past a few megabytes.
#pragma once

#include <cstddef>

#include "stemmer/interruption.hpp"

namespace ardovel::postgres {

enum class Status {
  ok,
  out_of_memory,
  interrupted,  // the interruption asked to stop; nothing was written
  failed,       // anything else a C++ call threw; never expected
};

// Room for the stem of a word of `size` bytes, which the glue allocates.
[[nodiscard]] std::size_t stem_room(std::size_t size) noexcept;

// Where a stem goes: `room` bytes (stem_room of the word's size) at `data`;
// `size` is set to the stem's length.
struct StemBuffer {
  char* data;
  std::size_t room;
  std::size_t size = 0;
};

// One text-search dictionary's state: an analyzer and its stop words.
// Opaque to the glue, which holds it through a pointer and destroys it when
// the dictionary's memory context goes away.
class Dictionary;

// Makes a dictionary whose stop words are `words` (each zero-terminated,
// valid UTF-8, in any script and case); `count` may be 0. On success
// `*made` owns a new dictionary; otherwise it is left null.
Status make_dictionary(const char* const* words, std::size_t count, Dictionary** made) noexcept;
void destroy_dictionary(Dictionary* dictionary) noexcept;

// The stem of one token (valid UTF-8), or an empty stem when the token is
// left out: its stem is empty, or it is one of the dictionary's stop words.
Status dictionary_stem(Dictionary& dictionary, const char* token, std::size_t size, const Interruption& interruption,
                       StemBuffer& stem) noexcept;

// The stem of one word (valid UTF-8), with no stop words: exactly what the
// Python module's stem_py gives.
Status stem_word(const char* word, std::size_t size, const Interruption& interruption, StemBuffer& stem) noexcept;

}  // namespace ardovel::postgres
