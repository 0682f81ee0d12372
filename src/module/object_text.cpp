#include "module/object_text.hpp"

#include "module/py_ref.hpp"
#include "unicode/utf8.hpp"

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
  // A compact ASCII `str` is its own UTF-8 form, which is what
  // PyUnicode_AsUTF8AndSize hands back for it; this saves the call.
  if (PyUnicode_IS_COMPACT_ASCII(str)) {
    return std::string_view(static_cast<const char*>(PyUnicode_DATA(str)),
                            static_cast<std::size_t>(PyUnicode_GET_LENGTH(str)));
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (data == nullptr) return std::nullopt;
  return std::string_view(data, static_cast<std::size_t>(size));
}

PyObject* str_from_utf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t ascii = 0;
  while (ascii < size && bytes[ascii] < 0x80) ++ascii;
  if (ascii == size) return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(size));

  Py_ssize_t length = static_cast<Py_ssize_t>(ascii);
  Py_UCS4 max_char = 0x7F;
  for (std::size_t at = ascii; at < size; ++length) {
    const Py_UCS4 c = utf8::decode(bytes, at);
    if (c > max_char) max_char = c;
  }
  // One character: CPython hands out its shared objects for some; leave
  // that to it.
  if (length <= 1) return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(size));

  PyObject* str = PyUnicode_New(length, max_char);
  if (str == nullptr) return nullptr;
  const int kind = PyUnicode_KIND(str);
  void* data = PyUnicode_DATA(str);
  Py_ssize_t index = 0;
  for (std::size_t at = 0; at < size; ++index) PyUnicode_WRITE(kind, data, index, utf8::decode(bytes, at));
  return str;
}

std::string type_name(PyObject* object) {
  static constexpr std::string_view failed = "<failed to extract type name>";
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
    if (type == "<failed to extract type name>") return "<unprintable object>";
    return concat({"<unprintable ", type, " object>"});
  }
  if (const auto text = utf8_of(str.get())) return std::string(*text);
  PyErr_Clear();
  return replaced_text_of(str.get());
}

}  // namespace ardovel::py
