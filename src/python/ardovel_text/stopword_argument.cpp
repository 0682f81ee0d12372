#include "ardovel_text/stopword_argument.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "binding/arguments.hpp"
#include "binding/object_text.hpp"

namespace ardovel::text_module {
namespace {

using py::OwnedRef;
using py::Outcome;
using py::PyError;

// Touched only with the interpreter lock held. The references are the
// module's for the life of the process, never released: nothing may call
// into CPython from a static destructor after it has shut down.
PyObject* serbian_frozenset = nullptr;

struct LastFrozenset {
  PyObject* set = nullptr;  // owned
  StopWords words;
};
LastFrozenset& last_frozenset() {
  static auto* last = new LastFrozenset;
  return *last;
}

// An error about the argument, named as every argument error is.
PyError stopwords_error(PyError error) { return py::name_the_argument(std::move(error), "stopwords"); }

Outcome<StopWords> read_words(PyObject* iterable) {
  OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(iterable));
  if (!iterator) return stopwords_error(PyError::fetch_pending());
  // The strings own the bytes the views point into.
  std::vector<OwnedRef> words;
  std::vector<std::string_view> texts;
  for (;;) {
    OwnedRef word = OwnedRef::steal(PyIter_Next(iterator.get()));
    if (!word) {
      if (PyErr_Occurred() != nullptr) return PyError::fetch_pending();
      break;
    }
    const auto text = PyUnicode_Check(word.get()) ? py::utf8_of(word.get()) : std::nullopt;
    if (!text) {
      return py::str_argument_error(word.get(), py::concat({"stopwords[", std::to_string(words.size()), "]"}));
    }
    texts.push_back(*text);
    words.push_back(std::move(word));
  }
  return StopWords::from_words(texts);
}

}  // namespace

Outcome<OwnedRef> make_serbian_stopwords() {
  OwnedRef set = OwnedRef::steal(PyFrozenSet_New(nullptr));
  if (!set) return PyError::fetch_pending();
  for (const std::string_view word : StopWords::serbian_words()) {
    OwnedRef str = OwnedRef::steal(py::str_from_utf8(word));
    if (!str || PySet_Add(set.get(), str.get()) != 0) return PyError::fetch_pending();
  }
  if (serbian_frozenset == nullptr) serbian_frozenset = OwnedRef::new_ref(set.get()).release();
  return set;
}

Outcome<StopWords> stop_words_argument(PyObject* value) {
  if (value == nullptr || value == Py_None) return StopWords();
  if (value == serbian_frozenset) return StopWords::serbian();
  LastFrozenset& last = last_frozenset();
  if (value == last.set) return last.words;
  // A str is an iterable of str too, but stopwords="su" means a mistake.
  if (PyUnicode_Check(value) || PyBytes_Check(value)) {
    return stopwords_error(PyError::with_message(
        PyExc_TypeError, py::concat({"'", py::type_name(value), "' object is not a collection of words"})));
  }
  auto words = read_words(value);
  if (words.ok() && PyFrozenSet_CheckExact(value)) {
    // An exact frozenset cannot change, so its set can be kept.
    Py_INCREF(value);
    PyObject* previous = last.set;
    last.set = value;
    last.words = words.value();
    Py_XDECREF(previous);
  }
  return words;
}

}  // namespace ardovel::text_module
