// A `str`'s text as UTF-8, made without the interpreter lock when it has to
// be made.
//
// CPython keeps a `str` as one-, two- or four-byte code units, which are
// the UTF-8 only for ASCII text. CPython's own encoder runs with the lock
// held and leaves the UTF-8 attached to the `str` for its whole life. Instead, the code units are read while the lock is
// held (an immutable object the caller keeps alive, so they stay put) and
// encoded after it is released, a piece at a time into one small buffer:
// the text's UTF-8 never exists whole, and each piece is tokenized while it
// is still in the cache.
#pragma once

#include <Python.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

#include "ardovel/analyzer.hpp"

namespace ardovel::text_module {

class TextUtf8 {
 public:
  // With the lock held. `str` must be a ready `str` (PyUnicode_READY) that
  // outlives this object.
  explicit TextUtf8(PyObject* str) noexcept;

  // The size of the code units or of the UTF-8: what the work will be
  // proportional to, for deciding whether releasing the lock is worth it.
  [[nodiscard]] std::size_t size_hint() const noexcept;

  enum class End { complete, lone_surrogate, stopped };

  // Hands the text to sink(std::string_view utf8, std::size_t first_char) in
  // pieces, in order, for as long as the sink returns true. Each piece ends
  // just after a separator or at the end of the text, so no token spans two
  // pieces; `first_char` is the piece's offset in code points. Ends, after
  // the pieces before it, at a lone surrogate, which has no UTF-8. Needs no
  // lock. Only std::bad_alloc, or what the sink throws, escapes.
  template <class Sink>
  End read(Sink&& sink);

 private:
  template <class Unit, class Sink>
  End read_units(const Unit* units, Sink& sink);
  template <class Sink>
  End read_ascii(Sink& sink);

  std::string_view utf8_;        // the whole text, when it is ASCII
  const void* units_ = nullptr;  // otherwise, its code units
  int kind_ = 0;
  std::size_t length_ = 0;
  std::unique_ptr<char[]> piece_;  // the UTF-8 of the current piece
  std::size_t piece_room_ = 0;
};

namespace utf8_detail {

// About this many code units to a piece: the piece and its tokens' working
// data stay in the processor's cache.
inline constexpr std::size_t piece_units = 16 * 1024;

// A buffer that holds the UTF-8 of `count` units of this kind, whatever they are.
template <class Unit>
constexpr std::size_t utf8_room(std::size_t count) noexcept {
  return count * (sizeof(Unit) == 1 ? 2 : sizeof(Unit) == 2 ? 3 : 4);
}

// Encodes the units into `out`, which has utf8_room(count) bytes, and
// returns the UTF-8's size, or nothing if one of them is a lone surrogate.
std::optional<std::size_t> encode(const Py_UCS1* units, std::size_t count, char* out) noexcept;
std::optional<std::size_t> encode(const Py_UCS2* units, std::size_t count, char* out) noexcept;
std::optional<std::size_t> encode(const Py_UCS4* units, std::size_t count, char* out) noexcept;

// Where the piece starting at `begin` ends: just after the last separator
// before begin + piece_units, or, if there is none, just after the first
// one from there (or at the end).
template <class Unit>
std::size_t piece_end(const Unit* units, std::size_t begin, std::size_t length) noexcept {
  std::size_t end = std::min(length, begin + piece_units);
  if (end == length) return end;
  for (std::size_t cut = end; cut > begin; --cut) {
    if (separates_tokens(units[cut - 1])) return cut;
  }
  while (end < length && !separates_tokens(units[end])) ++end;
  return end < length ? end + 1 : end;
}

}  // namespace utf8_detail

template <class Sink>
TextUtf8::End TextUtf8::read(Sink&& sink) {
  if (units_ == nullptr) return read_ascii(sink);
  switch (kind_) {
    case PyUnicode_1BYTE_KIND:
      return read_units(static_cast<const Py_UCS1*>(units_), sink);
    case PyUnicode_2BYTE_KIND:
      return read_units(static_cast<const Py_UCS2*>(units_), sink);
    default:
      return read_units(static_cast<const Py_UCS4*>(units_), sink);
  }
}

// ASCII is its own UTF-8: the pieces are views of the text.
template <class Sink>
TextUtf8::End TextUtf8::read_ascii(Sink& sink) {
  const auto* units = reinterpret_cast<const unsigned char*>(utf8_.data());
  for (std::size_t begin = 0; begin < utf8_.size();) {
    const std::size_t end = utf8_detail::piece_end(units, begin, utf8_.size());
    if (!sink(utf8_.substr(begin, end - begin), begin)) return End::stopped;
    begin = end;
  }
  return End::complete;
}

template <class Unit, class Sink>
TextUtf8::End TextUtf8::read_units(const Unit* units, Sink& sink) {
  for (std::size_t begin = 0; begin < length_;) {
    const std::size_t end = utf8_detail::piece_end(units, begin, length_);
    const std::size_t room = utf8_detail::utf8_room<Unit>(end - begin);
    if (room > piece_room_) {
      piece_ = std::make_unique<char[]>(room);
      piece_room_ = room;
    }
    const auto size = utf8_detail::encode(units + begin, end - begin, piece_.get());
    if (!size) return End::lone_surrogate;
    if (!sink(std::string_view(piece_.get(), *size), begin)) return End::stopped;
    begin = end;
  }
  return End::complete;
}

}  // namespace ardovel::text_module
