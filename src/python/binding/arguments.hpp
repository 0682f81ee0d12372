// Argument parsing for functions called with CPython's fast calling
// convention with keywords, driven by a constant signature record, and the
// conversions of parsed arguments to the C++ types a function takes.
#pragma once

#include <Python.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "binding/errors.hpp"
#include "binding/object_text.hpp"

namespace ardovel::py {

struct KeywordOnlyParameter {
  std::string_view name;
  bool required;
  // What the signature shows as the default of an optional one ("None");
  // the converter of its type says what an omitted argument means.
  std::string_view default_text = {};
};

// The one record of a Python-visible function: its name and parameters.
// Everything else about the function (method definition, signature block,
// messages) is derived from it; see function_record.hpp.
struct CallSignature {
  std::string_view function_name;
  std::optional<std::string_view> class_name;
  std::span<const std::string_view> positional_names;
  std::size_t positional_only_count;
  std::size_t required_positional_count;
  std::span<const KeywordOnlyParameter> keyword_only;
  // The docstring after the signature; none for the `ardovel` module's
  // functions, whose __doc__ is None.
  std::string_view doc = {};

  // "name()", or "Class.name()" for a method; used at the head of messages.
  [[nodiscard]] std::string display_name() const;
  [[nodiscard]] constexpr std::size_t slot_count() const noexcept {
    return positional_names.size() + keyword_only.size();
  }
  // The parameter whose argument goes into `slot` (see parse_call_arguments).
  [[nodiscard]] constexpr std::string_view parameter_name(std::size_t slot) const noexcept {
    return slot < positional_names.size() ? positional_names[slot] : keyword_only[slot - positional_names.size()].name;
  }
};

// Fills `slots` (positional parameters, then keyword-only ones; all null on
// entry, `slot_count()` of them) with borrowed references to the arguments,
// or returns the TypeError that the call deserves. The slot of an optional
// argument that was not given stays null. Allocates nothing unless
// it fails.
[[nodiscard]] std::optional<PyError> parse_call_arguments(const CallSignature& signature, PyObject* const* args,
                                                          Py_ssize_t nargs, PyObject* kwnames,
                                                          std::span<PyObject*> slots);

// 'x' / 'x' and 'y' / 'x', 'y', and 'z'
[[nodiscard]] std::string quoted_name_list(std::span<const std::string_view> names);

// A TypeError about an argument restated to name it ("argument 'x': ..."),
// with no cause and no context shown; any other error passes unchanged.
[[nodiscard]] PyError name_the_argument(PyError error, std::string_view parameter);

// The error for an object that should have been a `str`.
[[nodiscard]] PyError not_a_string_error(PyObject* object);

// Why `object` has no UTF-8 text: a TypeError naming `parameter` when it is
// not a `str`, else the UnicodeEncodeError that CPython left pending.
[[nodiscard]] PyError str_argument_error(PyObject* object, std::string_view parameter);

// The UTF-8 bytes of a `str` (or `str` subclass) argument, borrowed from the
// object without copying. Inline: it is on every call's path.
[[nodiscard]] inline Outcome<std::string_view> str_argument_text(PyObject* object, std::string_view parameter) {
  if (PyUnicode_Check(object)) {
    if (const auto text = utf8_of(object)) return *text;
  }
  return str_argument_error(object, parameter);
}

// Converting an argument to the C++ type of an implementation's parameter;
// one specialisation per type that parameters may have. `object` is null
// only for an optional argument that was not given.
template <class T>
struct ArgumentConverter;

template <>
struct ArgumentConverter<std::string_view> {
  [[nodiscard]] static Outcome<std::string_view> convert(PyObject* object, std::string_view parameter) {
    return str_argument_text(object, parameter);
  }
};

// A `str` argument taken as the object itself, for an implementation that
// reads its code units rather than its UTF-8.
struct StrObject {
  PyObject* str;  // borrowed, ready
};

template <>
struct ArgumentConverter<StrObject> {
  [[nodiscard]] static Outcome<StrObject> convert(PyObject* object, std::string_view parameter) {
    if (!PyUnicode_Check(object)) return str_argument_error(object, parameter);
    if (PyUnicode_READY(object) < 0) return PyError::fetch_pending();
    return StrObject{object};
  }
};

// Any object, borrowed, or null when an optional one was not given: for an
// implementation that takes it apart itself.
template <>
struct ArgumentConverter<PyObject*> {
  [[nodiscard]] static Outcome<PyObject*> convert(PyObject* object, std::string_view /*parameter*/) { return object; }
};

// A flag, by the truth of the object; false when not given.
template <>
struct ArgumentConverter<bool> {
  [[nodiscard]] static Outcome<bool> convert(PyObject* object, std::string_view /*parameter*/) {
    if (object == nullptr) return false;
    const int truth = PyObject_IsTrue(object);
    if (truth < 0) return PyError::fetch_pending();
    return truth != 0;
  }
};

}  // namespace ardovel::py
