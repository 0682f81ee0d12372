// Building a module object from its definition and its functions' records;
// shared by every extension module of the project.
#pragma once

#include <Python.h>

#include <atomic>
#include <span>
#include <string_view>

#include "binding/errors.hpp"
#include "binding/function_record.hpp"

namespace ardovel::py {

// The module made from `definition`, with `functions` added in order and
// listed in __all__. `initialized` is the module's once flag: one module
// object per process, since its functions keep no per-module state apart.
[[nodiscard]] Outcome<OwnedRef> create_module_once(PyModuleDef& definition, std::atomic<bool>& initialized,
                                                   std::span<const FunctionDefinition> functions);

// The steps of create_module_once, exposed for the binding layer's own tests.
[[nodiscard]] Status populate_module(PyObject* module, std::span<const FunctionDefinition> functions);
[[nodiscard]] Outcome<OwnedRef> create_function_object(const FunctionDefinition& definition, PyObject* module);
[[nodiscard]] Status register_function(PyObject* module, PyObject* function);
// The text as a zero-terminated string: `text` itself when it ends in its only
// zero byte, a never-released copy when it has none; a ValueError naming
// `what` when a zero byte comes before the end.
[[nodiscard]] Outcome<const char*> zero_terminated(std::string_view text, const char* what);

}  // namespace ardovel::py
