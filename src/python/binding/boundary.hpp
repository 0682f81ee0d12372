// The frame around every entry from CPython into the module.
#pragma once

#include <Python.h>

#include <exception>
#include <new>

#include "binding/errors.hpp"

namespace ardovel::py {

// Raises the module's fault exception with `message` (or a default text).
void raise_fault(const Fault& fault);

// The fault exception class (a direct subclass of BaseException), made on
// first need; null if CPython could not make it, with its error pending.
[[nodiscard]] PyObject* fault_exception_class();

// Raises the outcome's error or fault; returns NULL.
[[nodiscard]] PyObject* raise_failure(Outcome<OwnedRef>&& outcome);

// Turns an outcome into what CPython expects of an entry point: the new
// reference, or NULL with the exception set. Inline: it is on every call's path.
[[nodiscard]] inline PyObject* hand_to_cpython(Outcome<OwnedRef>&& outcome) {
  if (outcome.ok()) return outcome.value().release();
  return raise_failure(std::move(outcome));
}

// Runs `body`, which returns Outcome<OwnedRef>. C++ exceptions never cross
// into CPython: memory exhaustion becomes MemoryError, anything else a fault.
template <class Body>
[[nodiscard]] PyObject* boundary_call(Body&& body) noexcept {
  try {
    return hand_to_cpython(body());
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& error) {
    raise_fault(Fault{error.what()});
  } catch (...) {
    raise_fault(Fault{});
  }
  return nullptr;
}

}  // namespace ardovel::py
