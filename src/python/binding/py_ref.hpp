// Owned references to Python objects.
//
// An `OwnedRef` holds exactly one strong reference and releases it when it
// goes away; it can be moved but not copied, so whether a call site steals a
// reference or adds one is always spelled out (`steal` versus `new_ref`).
#pragma once

#include <Python.h>

#include <utility>

namespace ardovel::py {

class OwnedRef {
 public:
  OwnedRef() noexcept = default;
  // Takes over a reference the caller already owns (a "new reference" result).
  [[nodiscard]] static OwnedRef steal(PyObject* object) noexcept { return OwnedRef(object); }
  // Adds a reference of its own to a borrowed object.
  [[nodiscard]] static OwnedRef new_ref(PyObject* object) noexcept {
    Py_XINCREF(object);
    return OwnedRef(object);
  }

  OwnedRef(const OwnedRef&) = delete;
  OwnedRef& operator=(const OwnedRef&) = delete;
  OwnedRef(OwnedRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  OwnedRef& operator=(OwnedRef&& other) noexcept {
    if (this != &other) {
      PyObject* old = std::exchange(object_, std::exchange(other.object_, nullptr));
      Py_XDECREF(old);
    }
    return *this;
  }
  ~OwnedRef() { Py_XDECREF(object_); }

  [[nodiscard]] PyObject* get() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  // Gives the reference away, to CPython or to a function that steals it.
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(object_, nullptr); }

 private:
  explicit OwnedRef(PyObject* object) noexcept : object_(object) {}
  PyObject* object_ = nullptr;
};

}  // namespace ardovel::py
