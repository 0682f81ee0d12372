#include "binding/object_text.hpp"

#include <cstdint>
#include <cstring>

#include "ardovel/utf8.hpp"
#include "binding/py_ref.hpp"
#include "binding/texts.hpp"

namespace ardovel::py {
namespace {

// Filled under the interpreter lock; if CPython ever let two fills race, the
// first stored object stays and the other is released.
PyObject* intern_once(PyObject*& slot, std::string_view text) {
  if (slot != nullptr) return slot;
  PyObject* name = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  if (name == nullptr) return nullptr;
  PyUnicode_InternInPlace(&name);
  if (slot == nullptr) {
    slot = name;
  } else {
    Py_DECREF(name);
  }
  return slot;
}

PyObject* interned_name_slot = nullptr;
PyObject* interned_all_slot = nullptr;
PyObject* interned_qualname_slot = nullptr;

// A `str` with lone surrogates has no UTF-8 form; for a message, its
// surrogatepass bytes are decoded with every invalid sequence replaced, so
// one lone surrogate shows as three U+FFFD.
std::string replaced_text_of(PyObject* str) {
  const OwnedRef bytes = OwnedRef::steal(PyUnicode_AsEncodedString(str, "utf-8", "surrogatepass"));
  if (!bytes) {
    PyErr_Clear();
    return {};
  }
  const OwnedRef decoded = OwnedRef::steal(
      PyUnicode_DecodeUTF8(PyBytes_AS_STRING(bytes.get()), PyBytes_GET_SIZE(bytes.get()), "replace"));
  if (!decoded) {
    PyErr_Clear();
    return {};
  }
  const auto text = utf8_of(decoded.get());
  if (!text) {
    PyErr_Clear();
    return {};
  }
  return std::string(*text);
}

}  // namespace

std::string concat(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (const std::string_view piece : pieces) text.append(piece);
  return text;
}

PyObject* interned_name() { return intern_once(interned_name_slot, "__name__"); }
PyObject* interned_all() { return intern_once(interned_all_slot, "__all__"); }
PyObject* interned_qualname() { return intern_once(interned_qualname_slot, "__qualname__"); }

std::optional<std::string_view> utf8_of(PyObject* str) noexcept {
  // The public call, not a read of the UTF-8 form that a compact `str`
  // caches inside CPython's private object layout: measured on the
  // benchmark words, the call costs about 1.5 % more instructions per
  // stem_py call and no time beyond noise.
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (data == nullptr) return std::nullopt;
  return std::string_view(data, static_cast<std::size_t>(size));
}

namespace {

// Copies code units from a wider form into the `str`'s own width.
template <class Unit>
void store_narrowed(void* data, const Py_UCS4* chars, std::size_t count) noexcept {
  auto* units = static_cast<Unit*>(data);
  for (std::size_t i = 0; i < count; ++i) units[i] = static_cast<Unit>(chars[i]);
}

bool is_ascii(const unsigned char* bytes, std::size_t size) noexcept {
  std::uint64_t seen = 0;
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + at, 8);
    seen |= word;
  }
  for (; at < size; ++at) seen |= bytes[at];
  return (seen & 0x8080808080808080ULL) == 0;
}

PyObject* str_from_ascii(std::string_view text) {
  PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 0x7F);
  if (str != nullptr) std::memcpy(PyUnicode_DATA(str), text.data(), text.size());
  return str;
}

// Decodes into `chars` (room for one per byte) and makes the `str` in the
// narrowest width that holds its largest character, as CPython's own
// decoder would, but in one decoding pass. For short stems.
PyObject* str_from_short(const unsigned char* bytes, std::size_t size, Py_UCS4* chars) {
  std::size_t count = 0;
  Py_UCS4 max_char = 0;
  for (std::size_t at = 0; at < size; ++count) {
    const Py_UCS4 c = utf8::decode(bytes, at);
    chars[count] = c;
    if (c > max_char) max_char = c;
  }
  PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(count), max_char);
  if (str == nullptr) return nullptr;
  switch (PyUnicode_KIND(str)) {
    case PyUnicode_1BYTE_KIND:
      store_narrowed<Py_UCS1>(PyUnicode_DATA(str), chars, count);
      break;
    case PyUnicode_2BYTE_KIND:
      store_narrowed<Py_UCS2>(PyUnicode_DATA(str), chars, count);
      break;
    default:
      std::memcpy(PyUnicode_DATA(str), chars, count * sizeof(Py_UCS4));
      break;
  }
  return str;
}

// Long texts are decoded twice (size, then contents) rather than through a
// buffer four times their size.
PyObject* str_from_long(const unsigned char* bytes, std::size_t size) {
  Py_ssize_t count = 0;
  Py_UCS4 max_char = 0;
  for (std::size_t at = 0; at < size; ++count) {
    const Py_UCS4 c = utf8::decode(bytes, at);
    if (c > max_char) max_char = c;
  }
  PyObject* str = PyUnicode_New(count, max_char);
  if (str == nullptr) return nullptr;
  const int kind = PyUnicode_KIND(str);
  void* data = PyUnicode_DATA(str);
  Py_ssize_t index = 0;
  for (std::size_t at = 0; at < size; ++index) PyUnicode_WRITE(kind, data, index, utf8::decode(bytes, at));
  return str;
}

}  // namespace

PyObject* str_from_utf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  // CPython shares its objects for the empty and some one-character strings.
  if (size <= 1 || (size <= 4 && utf8::decode_length(bytes[0]) == size)) {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(size));
  }
  if (is_ascii(bytes, size)) return str_from_ascii(text);

  constexpr std::size_t on_stack = 64;
  if (size > on_stack) return str_from_long(bytes, size);
  Py_UCS4 chars[on_stack];
  return str_from_short(bytes, size, chars);
}

std::string type_name(PyObject* object) {
  static constexpr std::string_view failed = texts::failed_type_name;
  PyObject* attribute = interned_qualname();
  if (attribute == nullptr) {
    PyErr_Clear();
    return std::string(failed);
  }
  const OwnedRef qualname = OwnedRef::steal(PyObject_GetAttr(reinterpret_cast<PyObject*>(Py_TYPE(object)), attribute));
  if (!qualname || !PyUnicode_Check(qualname.get())) {
    PyErr_Clear();
    return std::string(failed);
  }
  const auto text = utf8_of(qualname.get());
  if (!text) {
    PyErr_Clear();
    return std::string(failed);
  }
  return std::string(*text);
}

std::string text_of_object(PyObject* object) {
  const OwnedRef str = OwnedRef::steal(PyObject_Str(object));
  if (!str) {
    // A failing __str__ must not turn one error into another: report it as
    // unraisable and describe the object by its type instead.
    PyErr_WriteUnraisable(object);
    const std::string type = type_name(object);
    if (type == texts::failed_type_name) return std::string(texts::unprintable_object);
    return concat({"<unprintable ", type, " object>"});
  }
  if (const auto text = utf8_of(str.get())) return std::string(*text);
  PyErr_Clear();
  return replaced_text_of(str.get());
}

}  // namespace ardovel::py
