#include "binding/errors.hpp"

#include "binding/object_text.hpp"
#include "binding/texts.hpp"

namespace ardovel::py {

PyError PyError::fetch_pending() {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  // CPython may leave the value unmade (KeyError's is just the key); make the
  // instance now so that its text is the exception's own.
  if (type != nullptr) PyErr_NormalizeException(&type, &value, &traceback);
  if (type == nullptr) {
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    return with_message(PyExc_SystemError, std::string(texts::nothing_pending));
  }
  PyError error;
  error.type_ = OwnedRef::steal(type);
  error.value_ = OwnedRef::steal(value);
  error.traceback_ = OwnedRef::steal(traceback);
  return error;
}

PyError PyError::from_instance(OwnedRef instance) {
  PyError error;
  error.type_ = OwnedRef::new_ref(reinterpret_cast<PyObject*>(Py_TYPE(instance.get())));
  error.traceback_ = OwnedRef::steal(PyException_GetTraceback(instance.get()));
  error.value_ = std::move(instance);
  return error;
}

std::string PyError::value_text() const {
  if (unbuilt_) return message_;
  if (!value_) return {};
  return text_of_object(value_.get());
}

OwnedRef PyError::cause() const noexcept {
  if (!value_ || !PyExceptionInstance_Check(value_.get())) return {};
  return OwnedRef::steal(PyException_GetCause(value_.get()));
}

void PyError::restore() && {
  if (unbuilt_) {
    value_ = OwnedRef::steal(PyUnicode_FromStringAndSize(message_.data(), static_cast<Py_ssize_t>(message_.size())));
    if (!value_) return;  // CPython's own MemoryError is now pending instead
  }
  PyErr_Restore(type_.release(), value_.release(), traceback_.release());
}

Fault api_call_failed() {
  if (PyErr_Occurred() != nullptr) PyErr_Print();
  return Fault{std::string(texts::api_call_failed)};
}

}  // namespace ardovel::py
