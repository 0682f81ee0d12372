// Argument parsing for functions called with CPython's fast calling
// convention with keywords, driven by a constant signature record.
#pragma once

#include <Python.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "module/errors.hpp"

namespace ardovel::py {

struct KeywordOnlyParameter {
  std::string_view name;
  bool required;
};

struct CallSignature {
  std::string_view function_name;
  std::optional<std::string_view> class_name;
  std::span<const std::string_view> positional_names;
  std::size_t positional_only_count;
  std::size_t required_positional_count;
  std::span<const KeywordOnlyParameter> keyword_only;

  // "name()", or "Class.name()" for a method; used at the head of messages.
  [[nodiscard]] std::string display_name() const;
  [[nodiscard]] std::size_t slot_count() const noexcept { return positional_names.size() + keyword_only.size(); }
};

// Fills `slots` (positional parameters, then keyword-only ones; all null on
// entry, `slot_count()` of them) with borrowed references to the arguments,
// or returns the TypeError that the call deserves. Allocates nothing unless
// it fails.
[[nodiscard]] std::optional<PyError> parse_call_arguments(const CallSignature& signature, PyObject* const* args,
                                                          Py_ssize_t nargs, PyObject* kwnames,
                                                          std::span<PyObject*> slots);

// 'x' / 'x' and 'y' / 'x', 'y', and 'z'
[[nodiscard]] std::string quoted_name_list(std::span<const std::string_view> names);

// The error for an object that should have been a `str`.
[[nodiscard]] PyError not_a_string_error(PyObject* object);

}  // namespace ardovel::py
