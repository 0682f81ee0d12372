#include "ardovel_text/text_utf8.hpp"

namespace ardovel::text_module {
namespace {

constexpr bool is_surrogate(Py_UCS4 c) noexcept { return c >= 0xD800 && c <= 0xDFFF; }

// One pass, surrogates noted on the way. Most text is ASCII and two-byte
// letters (Cyrillic, Latin with diacritics) mixed word by word, so those
// two go one way without a branch between them: two bytes are written
// and the second kept only for a two-byte character. The output has room
// for it: at least two bytes per unit.
template <class Unit>
std::optional<std::size_t> encode_units(const Unit* units, std::size_t count, char* out) noexcept {
  char* const start = out;
  bool surrogate = false;
  for (std::size_t i = 0; i < count; ++i) {
    const Py_UCS4 c = units[i];
    if (c < 0x800) {
      const bool two = c >= 0x80;
      out[0] = static_cast<char>(two ? 0xC0 | (c >> 6) : c);
      out[1] = static_cast<char>(0x80 | (c & 0x3F));
      out += 1 + static_cast<std::size_t>(two);
    } else if (c < 0x10000) {
      surrogate |= is_surrogate(c);
      *out++ = static_cast<char>(0xE0 | (c >> 12));
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | (c >> 18));
      *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  if (surrogate) return std::nullopt;
  return static_cast<std::size_t>(out - start);
}

}  // namespace

namespace utf8_detail {

std::optional<std::size_t> encode(const Py_UCS1* units, std::size_t count, char* out) noexcept {
  return encode_units(units, count, out);
}
std::optional<std::size_t> encode(const Py_UCS2* units, std::size_t count, char* out) noexcept {
  return encode_units(units, count, out);
}
std::optional<std::size_t> encode(const Py_UCS4* units, std::size_t count, char* out) noexcept {
  return encode_units(units, count, out);
}

}  // namespace utf8_detail

TextUtf8::TextUtf8(PyObject* str) noexcept {
  if (PyUnicode_IS_COMPACT_ASCII(str)) {
    utf8_ = std::string_view(static_cast<const char*>(PyUnicode_DATA(str)),
                             static_cast<std::size_t>(PyUnicode_GET_LENGTH(str)));
    return;
  }
  units_ = PyUnicode_DATA(str);
  kind_ = PyUnicode_KIND(str);
  length_ = static_cast<std::size_t>(PyUnicode_GET_LENGTH(str));
}

std::size_t TextUtf8::size_hint() const noexcept {
  return units_ == nullptr ? utf8_.size() : length_ * static_cast<std::size_t>(kind_);
}

}  // namespace ardovel::text_module
