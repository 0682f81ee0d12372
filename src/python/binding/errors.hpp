// Errors at the CPython boundary are values: every operation of the binding
// layer returns its value or a failure, and nothing is raised in CPython's
// sense until `boundary_call` hands the failure over.
#pragma once

#include <Python.h>

#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "binding/py_ref.hpp"

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

  // The exception's type, borrowed.
  [[nodiscard]] PyObject* type() const noexcept { return type_.get(); }
  // The text that str() of the exception value gives.
  [[nodiscard]] std::string value_text() const;
  // The exception's `__cause__`; empty when it has none.
  [[nodiscard]] OwnedRef cause() const noexcept;

  // Makes this the pending exception (PyErr_Restore); consumes the error.
  void restore() &&;

 private:
  PyError() = default;
  OwnedRef type_;
  OwnedRef value_;
  OwnedRef traceback_;
  std::string message_;
  bool unbuilt_ = false;  // type and message only; the value is made on restore
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
class Outcome;

template <class T>
inline constexpr bool is_outcome = false;
template <class T>
inline constexpr bool is_outcome<Outcome<T>> = true;

struct Done {};
using Status = Outcome<Done>;

template <class T>
class [[nodiscard]] Outcome {
 public:
  using value_type = T;

  Outcome(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Outcome(PyError error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT
  Outcome(Fault fault) : state_(std::in_place_index<2>, std::move(fault)) {}  // NOLINT

  [[nodiscard]] bool ok() const noexcept { return state_.index() == 0; }
  [[nodiscard]] T& value() noexcept { return *std::get_if<0>(&state_); }
  [[nodiscard]] PyError* error() noexcept { return std::get_if<1>(&state_); }
  [[nodiscard]] Fault* fault() noexcept { return std::get_if<2>(&state_); }

  // The next step, given the value (or nothing, after a Status), when
  // there is one; otherwise the failure, passed on unchanged. Steps chain:
  //   argument_text(object).and_then(stem).
  template <class Next>
  [[nodiscard]] auto and_then(Next&& next) && {
    using Result = typename decltype(step_result<Next>())::type;
    static_assert(is_outcome<Result>, "a step returns an Outcome");
    if (!ok()) return std::move(*this).template failure<typename Result::value_type>();
    if constexpr (std::is_same_v<T, Done>) {
      return std::invoke(std::forward<Next>(next));
    } else {
      return std::invoke(std::forward<Next>(next), std::move(value()));
    }
  }

 private:
  template <class Next>
  static constexpr auto step_result() {
    if constexpr (std::is_same_v<T, Done>) {
      return std::type_identity<std::invoke_result_t<Next>>{};
    } else {
      return std::type_identity<std::invoke_result_t<Next, T&&>>{};
    }
  }

  template <class U>
  Outcome<U> failure() && {
    if (PyError* e = error()) return std::move(*e);
    return std::move(*fault());
  }

  std::variant<T, PyError, Fault> state_;
};

}  // namespace ardovel::py
