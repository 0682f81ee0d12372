// A `str`'s UTF-8, made without the interpreter lock when it has to be made.
//
// CPython keeps a `str` as one-, two- or four-byte code units; its UTF-8 form
// exists only for ASCII text or once something asked for it. Making that
// form is a pass over the whole text, and CPython's own encoder runs with
// the lock held, so for a long text it would be a large part of the locked
// work. Instead the code units are read while the lock is held (an
// immutable object the caller keeps alive, so they stay put), and encoded
// after it is released, into a buffer of this module's own that goes away
// with the call rather than staying attached to the caller's `str`.
#pragma once

#include <Python.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace ardovel::text_module {

class TextUtf8 {
 public:
  // With the lock held. `str` must be a ready `str` (PyUnicode_READY) that
  // outlives this object.
  explicit TextUtf8(PyObject* str) noexcept;

  // Makes the UTF-8 if it is not there yet; false if the text holds a lone
  // surrogate, which has none. Needs no lock. Only std::bad_alloc escapes.
  [[nodiscard]] bool encode();

  // After a successful encode(): the text's UTF-8.
  [[nodiscard]] std::string_view view() const noexcept { return view_; }
  // The number of UTF-8 bytes, or an estimate before encode() (for
  // deciding whether the lock is worth releasing).
  [[nodiscard]] std::size_t size_hint() const noexcept;

 private:
  std::string_view view_;  // set when the UTF-8 exists
  const void* units_ = nullptr;  // otherwise, the code units to encode
  int kind_ = 0;
  std::size_t length_ = 0;
  std::string encoded_;
};

}  // namespace ardovel::text_module
