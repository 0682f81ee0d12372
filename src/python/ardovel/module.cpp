// The importable module `ardovel`: its definition and its one exported
// function.
#include <Python.h>

#include <atomic>

#include "binding/boundary.hpp"
#include "binding/module_setup.hpp"
#include "stem_functions.hpp"

namespace ardovel::py {
namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "ardovel",
    "",  // not NULL, so that __doc__ is '' rather than None
    0,   // not -1: CPython asks for a new module object on re-import, which
         // the once flag below refuses
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

// Once set it stays set: one module object per process.
std::atomic<bool> module_initialized{false};

}  // namespace
}  // namespace ardovel::py

PyMODINIT_FUNC PyInit_ardovel() {
  using namespace ardovel::py;
  return boundary_call([] { return create_module_once(module_definition, module_initialized, stem_function_definitions()); });
}
