#include "binding/module_setup.hpp"

#include <cstring>

#include "binding/object_text.hpp"
#include "binding/texts.hpp"

namespace ardovel::py {
namespace {

// CPython 3.11's C API version.
constexpr int api_version = 1013;

// The copy of a definition that its function objects point at for as long
// as they live, which may be past the module's end; it is never released.
Outcome<PyMethodDef*> lasting_method_definition(const FunctionDefinition& definition) {
  return zero_terminated(definition.name, "name").and_then([&](const char* name) {
    return zero_terminated(definition.doc, "doc").and_then([&](const char* doc) -> Outcome<PyMethodDef*> {
      return new PyMethodDef{name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(definition.entry)),
                             definition.flags, doc};
    });
  });
}

}  // namespace

Outcome<const char*> zero_terminated(std::string_view text, const char* what) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos && nul + 1 != text.size()) {
    return PyError::with_message(PyExc_ValueError, concat({"function ", what, " cannot contain NUL byte."}));
  }
  if (nul != std::string_view::npos) return text.data();
  // Kept for the life of the process, like the definition that points to it.
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return static_cast<const char*>(copy);
}

Outcome<OwnedRef> create_function_object(const FunctionDefinition& definition, PyObject* module) {
  const char* module_name = PyModule_GetName(module);
  if (module_name == nullptr) return PyError::fetch_pending();
  OwnedRef module_name_str = OwnedRef::steal(PyUnicode_DecodeUTF8(module_name, static_cast<Py_ssize_t>(std::strlen(module_name)), nullptr));
  if (!module_name_str) {
    PyErr_Clear();
    return Fault{concat({texts::name_not_utf8, module_name})};
  }
  return lasting_method_definition(definition).and_then([&](PyMethodDef* method) -> Outcome<OwnedRef> {
    OwnedRef function = OwnedRef::steal(PyCMethod_New(method, module, module_name_str.get(), nullptr));
    if (!function) return PyError::fetch_pending();
    return function;
  });
}

Status register_function(PyObject* module, PyObject* function) {
  PyObject* name_attribute = interned_name();
  PyObject* all_attribute = interned_all();
  if (name_attribute == nullptr || all_attribute == nullptr) return api_call_failed();

  const OwnedRef name = OwnedRef::steal(PyObject_GetAttr(function, name_attribute));
  if (!name) return PyError::fetch_pending();
  if (!PyUnicode_Check(name.get())) return not_a_string_error(name.get());
  const auto name_text = utf8_of(name.get());
  if (!name_text) return PyError::fetch_pending();

  OwnedRef all = OwnedRef::steal(PyObject_GetAttr(module, all_attribute));
  if (!all) {
    PyError lookup = PyError::fetch_pending();
    if (PyErr_GivenExceptionMatches(lookup.type(), PyExc_AttributeError) == 0) return lookup;
    all = OwnedRef::steal(PyList_New(0));
    if (!all) return api_call_failed();
    if (PyObject_SetAttr(module, all_attribute, all.get()) != 0) return PyError::fetch_pending();
  }
  if (!PyList_Check(all.get())) {
    return PyError::with_message(PyExc_TypeError,
                                 concat({"'", type_name(all.get()), texts::not_a_list}));
  }

  const OwnedRef listed_name = OwnedRef::steal(
      PyUnicode_FromStringAndSize(name_text->data(), static_cast<Py_ssize_t>(name_text->size())));
  if (!listed_name) return api_call_failed();
  if (PyList_Append(all.get(), listed_name.get()) != 0) {
    const PyError reason = PyError::fetch_pending();
    return Fault{concat({"could not append __name__ to __all__: ", reason.value_text()})};
  }
  if (PyObject_SetAttr(module, listed_name.get(), function) != 0) return PyError::fetch_pending();
  return Done{};
}

Status populate_module(PyObject* module, std::span<const FunctionDefinition> functions) {
  for (const FunctionDefinition& definition : functions) {
    Status added = create_function_object(definition, module).and_then([&](OwnedRef function) {
      return register_function(module, function.get());
    });
    if (!added.ok()) return added;
  }
  return Done{};
}

Outcome<OwnedRef> create_module_once(PyModuleDef& definition, std::atomic<bool>& initialized,
                                     std::span<const FunctionDefinition> functions) {
  OwnedRef module = OwnedRef::steal(PyModule_Create2(&definition, api_version));
  if (!module) return PyError::fetch_pending();
  if (initialized.exchange(true, std::memory_order_seq_cst)) {
    return PyError::with_message(PyExc_ImportError, std::string(texts::initialized_twice));
  }
  return populate_module(module.get(), functions).and_then([&]() -> Outcome<OwnedRef> { return std::move(module); });
}

}  // namespace ardovel::py
