#include "text_module/text_utf8.hpp"

#include <cstdint>

namespace ardovel::text_module {
namespace {

constexpr bool is_surrogate(Py_UCS4 c) noexcept { return c >= 0xD800 && c <= 0xDFFF; }

constexpr std::size_t utf8_length(Py_UCS4 c) noexcept { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// The UTF-8 size of the units, or nothing when one is a lone surrogate.
template <class Unit>
bool measure(const Unit* units, std::size_t length, std::size_t& size) noexcept {
  std::size_t total = 0;
  bool surrogate = false;
  for (std::size_t i = 0; i < length; ++i) {
    const Py_UCS4 c = units[i];
    total += utf8_length(c);
    if constexpr (sizeof(Unit) > 1) surrogate |= is_surrogate(c);
  }
  size = total;
  return !surrogate;
}

template <class Unit>
void write(const Unit* units, std::size_t length, char* out) noexcept {
  for (std::size_t i = 0; i < length; ++i) {
    const Py_UCS4 c = units[i];
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *out++ = static_cast<char>(0xC0 | (c >> 6));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
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
}

template <class Unit>
bool encode_units(const void* data, std::size_t length, std::string& out) {
  const auto* units = static_cast<const Unit*>(data);
  std::size_t size = 0;
  if (!measure(units, length, size)) return false;
  out.resize(size);
  write(units, length, out.data());
  return true;
}

}  // namespace

TextUtf8::TextUtf8(PyObject* str) noexcept {
  if (PyUnicode_IS_COMPACT_ASCII(str)) {
    view_ = std::string_view(static_cast<const char*>(PyUnicode_DATA(str)),
                             static_cast<std::size_t>(PyUnicode_GET_LENGTH(str)));
    return;
  }
  // The UTF-8 that CPython may already keep beside the code units.
  const auto* compact = reinterpret_cast<const PyCompactUnicodeObject*>(str);
  if (PyUnicode_IS_COMPACT(str) && compact->utf8 != nullptr) {
    view_ = std::string_view(compact->utf8, static_cast<std::size_t>(compact->utf8_length));
    return;
  }
  units_ = PyUnicode_DATA(str);
  kind_ = PyUnicode_KIND(str);
  length_ = static_cast<std::size_t>(PyUnicode_GET_LENGTH(str));
}

std::size_t TextUtf8::size_hint() const noexcept { return units_ == nullptr ? view_.size() : length_ * kind_; }

bool TextUtf8::encode() {
  if (units_ == nullptr) return true;
  bool encoded = false;
  switch (kind_) {
    case PyUnicode_1BYTE_KIND:
      encoded = encode_units<Py_UCS1>(units_, length_, encoded_);
      break;
    case PyUnicode_2BYTE_KIND:
      encoded = encode_units<Py_UCS2>(units_, length_, encoded_);
      break;
    default:
      encoded = encode_units<Py_UCS4>(units_, length_, encoded_);
      break;
  }
  if (encoded) view_ = encoded_;
  return encoded;
}

}  // namespace ardovel::text_module
