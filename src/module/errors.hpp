// Errors at the CPython boundary are values: every operation of the binding
// layer returns its value or a failure, and nothing is raised in CPython's
// sense until `boundary_call` hands the failure over.
#pragma once

#include <Python.h>

#include <string>
#include <utility>
#include <variant>

#include "module/py_ref.hpp"

namespace ardovel::py {

// A Python exception, either already made (fetched from CPython, or an
// instance we built) or still to be made from a type and a message.
class PyError {
 public:
  // TypeError, ValueError, ... with a message; the `str` is made only when
  // the error is raised. `type` is one of CPython's static exception types.
  [[nodiscard]] static PyError with_message(PyObject* type, std::string message) {
    PyError error;
    error.type_ = OwnedRef::new_ref(type);
    error.message_ = std::move(message);
    error.unbuilt_ = true;
    return error;
  }
  // Takes the exception CPython left pending; when none is pending that is
  // itself a failure to report, as a SystemError.
  [[nodiscard]] static PyError fetch_pending();
  // An exception instance made by the module itself.
  [[nodiscard]] static PyError from_instance(OwnedRef instance);
  // Memory exhausted inside the module: CPython's preallocated MemoryError.
  [[nodiscard]] static PyError no_memory() {
    PyError error;
    error.no_memory_ = true;
    return error;
  }

  // The exception's type, borrowed; null only for `no_memory`.
  [[nodiscard]] PyObject* type() const noexcept { return type_.get(); }
  // The text that str() of the exception value gives.
  [[nodiscard]] std::string value_text() const;
  // The exception's `__cause__`, or null (borrowed).
  [[nodiscard]] PyObject* cause() const noexcept;

  // Makes this the pending exception (PyErr_Restore); consumes the error.
  void restore() &&;

 private:
  PyError() = default;
  OwnedRef type_;
  OwnedRef value_;
  OwnedRef traceback_;
  std::string message_;
  bool unbuilt_ = false;  // type and message only; the value is made on restore
  bool no_memory_ = false;
};

// A broken invariant inside the module, as opposed to an error the caller
// caused; it reaches Python as the module's fault exception.
struct Fault {
  std::string message;
};

// A CPython call returned NULL where it cannot fail in normal operation: the
// pending exception is printed, and the call becomes a fault.
[[nodiscard]] Fault api_call_failed();

template <class T>
class [[nodiscard]] Outcome {
 public:
  Outcome(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Outcome(PyError error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT
  Outcome(Fault fault) : state_(std::in_place_index<2>, std::move(fault)) {}  // NOLINT

  [[nodiscard]] bool ok() const noexcept { return state_.index() == 0; }
  [[nodiscard]] T& value() noexcept { return *std::get_if<0>(&state_); }
  [[nodiscard]] PyError* error() noexcept { return std::get_if<1>(&state_); }
  [[nodiscard]] Fault* fault() noexcept { return std::get_if<2>(&state_); }

  // Passes a failure on to an outcome of another value type.
  template <class U>
  [[nodiscard]] Outcome<U> failure() && {
    if (PyError* e = error()) return std::move(*e);
    return std::move(*fault());
  }

 private:
  std::variant<T, PyError, Fault> state_;
};

struct Done {};
using Status = Outcome<Done>;

}  // namespace ardovel::py
