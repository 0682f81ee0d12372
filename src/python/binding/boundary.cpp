#include "binding/boundary.hpp"

#include "binding/texts.hpp"

namespace ardovel::py {
namespace {

constexpr char fault_class_doc[] =
    "An internal fault of the ardovel module: a broken invariant or a failure "
    "of the interpreter that the module cannot recover from. It is not an "
    "ordinary error, so it derives from BaseException.";

PyObject* fault_class = nullptr;

}  // namespace

PyObject* fault_exception_class() {
  if (fault_class != nullptr) return fault_class;
  PyObject* made = PyErr_NewExceptionWithDoc(texts::fault_class_name, fault_class_doc, PyExc_BaseException, nullptr);
  if (made == nullptr) return nullptr;
  if (fault_class == nullptr) {
    fault_class = made;
  } else {
    Py_DECREF(made);
  }
  return fault_class;
}

void raise_fault(const Fault& fault) {
  PyObject* type = fault_exception_class();
  if (type == nullptr) return;  // the reason it could not be made is pending
  const std::string& text = fault.message.empty() ? std::string(texts::default_fault) : fault.message;
  PyObject* message = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  if (message == nullptr) return;
  // One argument, the text: the instance's args is (text,).
  Py_INCREF(type);
  PyErr_Restore(type, message, nullptr);
}

PyObject* raise_failure(Outcome<OwnedRef>&& outcome) {
  if (PyError* error = outcome.error()) {
    std::move(*error).restore();
  } else {
    raise_fault(*outcome.fault());
  }
  return nullptr;
}

}  // namespace ardovel::py
