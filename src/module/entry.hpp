// The two Python functions: their definitions and what a call does.
#pragma once

#include <Python.h>

#include <string_view>

#include "module/arguments.hpp"
#include "module/errors.hpp"

namespace ardovel::py {

// What the module turns into a builtin function: a PyMethodDef's contents,
// with name and docstring carrying their terminating zero byte.
struct FunctionDefinition {
  std::string_view name;
  _PyCFunctionFastWithKeywords entry;
  int flags;
  std::string_view doc;
};

// In the order they are added to the module.
[[nodiscard]] std::span<const FunctionDefinition> function_definitions() noexcept;

// The UTF-8 bytes of a `str` (or `str` subclass) argument, borrowed from the
// object without copying.
[[nodiscard]] Outcome<std::string_view> extract_word_text(PyObject* object);

// A whole call of either function, minus the boundary.
[[nodiscard]] Outcome<OwnedRef> stem_call(const CallSignature& signature, PyObject* const* args, Py_ssize_t nargs,
                                          PyObject* kwnames);

}  // namespace ardovel::py
