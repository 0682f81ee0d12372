// The extension module ardovel_text._native: the three text functions and
// the default stop list as a frozenset.
#include <Python.h>

#include "module/boundary.hpp"
#include "module/errors.hpp"
#include "module/py_ref.hpp"
#include "text_module/stopword_argument.hpp"
#include "text_module/text_calls.hpp"

namespace ardovel::text_module {
namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "ardovel_text._native",
    "The native half of ardovel_text; use the package's functions instead.",
    -1,  // one module object per process, which the stop-word cache assumes
    text_methods(),
    nullptr, nullptr, nullptr, nullptr,
};

py::Outcome<py::OwnedRef> create_module() {
  py::OwnedRef module = py::OwnedRef::steal(PyModule_Create(&module_definition));
  if (!module) return py::PyError::fetch_pending();
  auto stopwords = make_serbian_stopwords();
  if (!stopwords.ok()) return stopwords;
  if (PyModule_AddObjectRef(module.get(), "SERBIAN_STOPWORDS", stopwords.value().get()) != 0) {
    return py::PyError::fetch_pending();
  }
  return module;
}

}  // namespace
}  // namespace ardovel::text_module

PyMODINIT_FUNC PyInit__native() {
  return ardovel::py::boundary_call([] { return ardovel::text_module::create_module(); });
}
