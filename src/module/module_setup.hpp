// Building the module object: exposed for the binding layer's own tests.
#pragma once

#include <Python.h>

#include <string_view>

#include "module/entry.hpp"
#include "module/errors.hpp"

namespace ardovel::py {

[[nodiscard]] Status populate_module(PyObject* module);
[[nodiscard]] Outcome<OwnedRef> create_function_object(const FunctionDefinition& definition, PyObject* module);
[[nodiscard]] Status register_function(PyObject* module, PyObject* function);
// The text as a zero-terminated string: `text` itself when it ends in its only
// zero byte, a never-released copy when it has none; a ValueError naming
// `what` when a zero byte comes before the end.
[[nodiscard]] Outcome<const char*> zero_terminated(std::string_view text, const char* what);

}  // namespace ardovel::py
