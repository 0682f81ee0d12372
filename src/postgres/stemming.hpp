// The extension's C++ side: the text layer behind a small interface of
// plain types that the PostgreSQL glue can call.
//
// PostgreSQL unwinds with longjmp, which skips C++ destructors, and its
// headers redefine names the C++ library uses, so the two never meet in one
// translation unit: extension.cpp includes PostgreSQL's headers and this
// file only. Every function here is noexcept and reports failure as a
// value; the glue turns that value into ereport() once it is back in code
// that owns no C++ object.
#pragma once

#include <cstddef>

namespace ardovel::postgres {

enum class Status {
  ok,
  out_of_memory,
  failed,  // anything else a C++ call threw; never expected
};

// A stem handed back to the glue: not zero-terminated, valid until the next
// call on the same owner (dictionary or backend).
struct Stem {
  const char* data = nullptr;
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
Status dictionary_stem(Dictionary& dictionary, const char* token, std::size_t size, Stem& stem) noexcept;

// The stem of one word (valid UTF-8), with no stop words: exactly what the
// Python module's stem_py gives. Uses the backend's one scratch text.
Status stem_word(const char* word, std::size_t size, Stem& stem) noexcept;

}  // namespace ardovel::postgres
