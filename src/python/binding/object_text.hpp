// Texts of Python objects for error messages, and the process-wide interned
// attribute names the binding layer looks things up with.
#pragma once

#include <Python.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace ardovel::py {

// Concatenates message pieces. (Chains of std::string operator+ trip a
// false -Wrestrict alarm in g++ 12.)
[[nodiscard]] std::string concat(std::initializer_list<std::string_view> pieces);

// Interned `str` objects, made on first use and kept for the process's life.
// Null only if CPython cannot make them (memory exhausted).
[[nodiscard]] PyObject* interned_name();      // "__name__"
[[nodiscard]] PyObject* interned_all();       // "__all__"
[[nodiscard]] PyObject* interned_qualname();  // "__qualname__"

// The UTF-8 text of a `str`, borrowed from it; nothing if it has none (a
// lone surrogate), with CPython's exception left pending.
[[nodiscard]] std::optional<std::string_view> utf8_of(PyObject* str) noexcept;

// A new `str` from valid UTF-8 text, equal in value and kind to what
// PyUnicode_FromStringAndSize gives (which it calls for the empty and
// one-character texts, so CPython's shared objects are kept). ASCII is one
// copy; a short stem is decoded once into a buffer on the stack; a long
// text is sized in one pass and filled in a second. CPython's own decoder
// starts on an ASCII buffer and reallocates at the first other character,
// which costs more than the whole stemming of a short word such as «knjiž».
// Null with CPython's exception pending when memory runs out.
[[nodiscard]] PyObject* str_from_utf8(std::string_view text);

// `__qualname__` of the object's type, or "<failed to extract type name>".
[[nodiscard]] std::string type_name(PyObject* object);

// str(object) as UTF-8 for messages; never fails (see the comments inside).
[[nodiscard]] std::string text_of_object(PyObject* object);

}  // namespace ardovel::py
