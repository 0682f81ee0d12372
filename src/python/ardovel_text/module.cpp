// The extension module ardovel_text._native: the package's functions and
// the default stop list as a frozenset.
#include <Python.h>

#include "ardovel/analyzer.hpp"
#include "ardovel_text/stopword_argument.hpp"
#include "ardovel_text/text_calls.hpp"
#include "binding/boundary.hpp"
#include "binding/errors.hpp"
#include "binding/module_setup.hpp"
#include "binding/py_ref.hpp"

namespace ardovel::text_module {
namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "ardovel_text._native",
    "The native half of ardovel_text; use the package instead.",
    -1,  // one module object per process, which the stop-word cache assumes
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

py::Outcome<py::OwnedRef> create_module() {
  py::OwnedRef module = py::OwnedRef::steal(PyModule_Create(&module_definition));
  if (!module) return py::PyError::fetch_pending();
  return py::populate_module(module.get(), text_function_definitions())
      .and_then([] { return make_serbian_stopwords(); })
      .and_then([&](py::OwnedRef stopwords) -> py::Outcome<py::OwnedRef> {
        if (PyModule_AddObjectRef(module.get(), "SERBIAN_STOPWORDS", stopwords.get()) != 0) {
          return py::PyError::fetch_pending();
        }
        return std::move(module);
      });
}

}  // namespace
}  // namespace ardovel::text_module

PyMODINIT_FUNC PyInit__native() {
  return ardovel::py::boundary_call([] {
    (void)ardovel::set_lexicon_file_beside_this_binary();  // in the package, beside this module
    return ardovel::text_module::create_module();
  });
}
