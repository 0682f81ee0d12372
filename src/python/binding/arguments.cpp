#include "binding/arguments.hpp"

#include <vector>

#include "binding/object_text.hpp"
#include "binding/texts.hpp"

namespace ardovel::py {
namespace {

PyError type_error(std::string message) { return PyError::with_message(PyExc_TypeError, std::move(message)); }

PyError too_many_positional(const CallSignature& signature, Py_ssize_t given) {
  const std::size_t n = signature.positional_names.size();
  const std::size_t r = signature.required_positional_count;
  // "arguments" stays plural even for one parameter: callers match on it.
  const std::string counts =
      r == n ? std::to_string(n) : concat({"from ", std::to_string(r), " to ", std::to_string(n)});
  return type_error(concat({signature.display_name(), texts::takes, counts, texts::positional_arguments_but,
                            std::to_string(given), given == 1 ? " was" : " were", " given"}));
}

PyError multiple_values(const CallSignature& signature, std::string_view parameter) {
  return type_error(concat({signature.display_name(), texts::got_multiple_values, parameter, "'"}));
}

PyError unexpected_keyword(const CallSignature& signature, PyObject* name) {
  return type_error(concat({signature.display_name(), texts::unexpected_keyword, text_of_object(name), "'"}));
}

PyError missing_arguments(const CallSignature& signature, std::string_view kind,
                          std::span<const std::string_view> names) {
  return type_error(concat({signature.display_name(), " missing ", std::to_string(names.size()), " required ", kind,
                            names.size() == 1 ? " argument: " : " arguments: ", quoted_name_list(names)}));
}

std::optional<std::size_t> index_of(std::span<const std::string_view> names, std::string_view wanted) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == wanted) return i;
  return std::nullopt;
}

std::optional<std::size_t> index_of(std::span<const KeywordOnlyParameter> parameters, std::string_view wanted) {
  for (std::size_t i = 0; i < parameters.size(); ++i)
    if (parameters[i].name == wanted) return i;
  return std::nullopt;
}

// Puts `value` into the keyword's slot, or says why it cannot go there.
class KeywordPlacer {
 public:
  KeywordPlacer(const CallSignature& signature, std::span<PyObject*> slots) : signature_(signature), slots_(slots) {}

  std::optional<PyError> place(PyObject* name, PyObject* value) {
    if (!PyUnicode_Check(name)) return not_a_string_error(name);
    const auto text = utf8_of(name);
    if (!text) {
      PyErr_Clear();
      return unexpected_keyword(signature_, name);
    }
    const std::size_t n = signature_.positional_names.size();
    if (const auto k = index_of(signature_.keyword_only, *text)) return fill(n + *k, *text, value);
    if (const auto j = index_of(signature_.positional_names, *text)) {
      if (*j < signature_.positional_only_count) {
        positional_only_by_keyword_.push_back(signature_.positional_names[*j]);
        return std::nullopt;
      }
      return fill(*j, *text, value);
    }
    return unexpected_keyword(signature_, name);
  }

  std::optional<PyError> positional_only_error() const {
    if (positional_only_by_keyword_.empty()) return std::nullopt;
    return type_error(concat({signature_.display_name(),
                              texts::positional_only_as_keyword,
                              quoted_name_list(positional_only_by_keyword_)}));
  }

 private:
  std::optional<PyError> fill(std::size_t slot, std::string_view name, PyObject* value) {
    if (slots_[slot] != nullptr) return multiple_values(signature_, name);
    slots_[slot] = value;
    return std::nullopt;
  }

  const CallSignature& signature_;
  std::span<PyObject*> slots_;
  std::vector<std::string_view> positional_only_by_keyword_;  // stays unallocated unless used
};

std::optional<PyError> check_required(const CallSignature& signature, Py_ssize_t nargs,
                                      std::span<PyObject* const> slots) {
  const std::size_t required = signature.required_positional_count;
  if (static_cast<std::size_t>(nargs) < required) {
    std::vector<std::string_view> missing;
    for (std::size_t i = 0; i < required; ++i)
      if (slots[i] == nullptr) missing.push_back(signature.positional_names[i]);
    if (!missing.empty()) return missing_arguments(signature, "positional", missing);
  }
  std::vector<std::string_view> missing;
  const std::size_t n = signature.positional_names.size();
  for (std::size_t k = 0; k < signature.keyword_only.size(); ++k)
    if (signature.keyword_only[k].required && slots[n + k] == nullptr) missing.push_back(signature.keyword_only[k].name);
  if (!missing.empty()) return missing_arguments(signature, "keyword", missing);
  return std::nullopt;
}

}  // namespace

std::string CallSignature::display_name() const {
  std::string name;
  if (class_name) {
    name.append(*class_name);
    name.push_back('.');
  }
  name.append(function_name);
  name.append("()");
  return name;
}

std::string quoted_name_list(std::span<const std::string_view> names) {
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      if (names.size() > 2) list.push_back(',');
      list.append(i + 1 == names.size() ? " and " : " ");
    }
    list.push_back('\'');
    list.append(names[i]);
    list.push_back('\'');
  }
  return list;
}

// A TypeError about the argument is restated to name it, with no cause and
// no context shown; any other error (UnicodeEncodeError) passes unchanged.
PyError name_the_argument(PyError error, std::string_view parameter) {
  if (error.type() != PyExc_TypeError) return error;
  const std::string message = concat({"argument '", parameter, "': ", error.value_text()});
  OwnedRef text = OwnedRef::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
  if (!text) return PyError::fetch_pending();
  OwnedRef renamed = OwnedRef::steal(PyObject_CallOneArg(PyExc_TypeError, text.get()));
  if (!renamed) return PyError::fetch_pending();
  PyException_SetCause(renamed.get(), error.cause().release());  // steals; also sets __suppress_context__
  return PyError::from_instance(std::move(renamed));
}

PyError not_a_string_error(PyObject* object) {
  return type_error(concat({"'", type_name(object), texts::not_a_string}));
}

PyError str_argument_error(PyObject* object, std::string_view parameter) {
  if (!PyUnicode_Check(object)) return name_the_argument(not_a_string_error(object), parameter);
  return name_the_argument(PyError::fetch_pending(), parameter);
}

std::optional<PyError> parse_call_arguments(const CallSignature& signature, PyObject* const* args, Py_ssize_t nargs,
                                            PyObject* kwnames, std::span<PyObject*> slots) {
  const std::size_t n = signature.positional_names.size();
  if (args != nullptr) {
    const std::size_t taken = std::min(n, static_cast<std::size_t>(nargs));
    for (std::size_t i = 0; i < taken; ++i) slots[i] = args[i];
  }
  // The count is checked before any keyword is looked at.
  if (static_cast<std::size_t>(nargs) > n) return too_many_positional(signature, nargs);

  if (kwnames != nullptr) {
    KeywordPlacer placer(signature, slots);
    const Py_ssize_t count = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t i = 0; i < count; ++i) {
      if (auto error = placer.place(PyTuple_GET_ITEM(kwnames, i), args[nargs + i])) return error;
    }
    if (auto error = placer.positional_only_error()) return error;
  }
  return check_required(signature, nargs, slots);
}

}  // namespace ardovel::py
