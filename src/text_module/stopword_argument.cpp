#include "text_module/stopword_argument.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "module/object_text.hpp"

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
  analysis::StopWords words;
};
LastFrozenset& last_frozenset() {
  static auto* last = new LastFrozenset;
  return *last;
}

PyError stopwords_error(const char* function, std::string_view what) {
  return PyError::with_message(PyExc_TypeError, py::concat({function, "() argument 'stopwords' ", what}));
}

Outcome<analysis::StopWords> read_words(const char* function, PyObject* iterable) {
  OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(iterable));
  if (!iterator) {
    if (PyErr_ExceptionMatches(PyExc_TypeError) == 0) return PyError::fetch_pending();
    PyErr_Clear();
    return stopwords_error(function, py::concat({"must be an iterable of str or None, not ", py::type_name(iterable)}));
  }
  // The strings own the bytes the views point into.
  std::vector<OwnedRef> words;
  std::vector<std::string_view> texts;
  for (;;) {
    OwnedRef word = OwnedRef::steal(PyIter_Next(iterator.get()));
    if (!word) {
      if (PyErr_Occurred() != nullptr) return PyError::fetch_pending();
      break;
    }
    if (!PyUnicode_Check(word.get())) {
      return stopwords_error(function, py::concat({"item ", std::to_string(words.size()), " must be str, not ",
                                                   py::type_name(word.get())}));
    }
    const auto text = py::utf8_of(word.get());
    if (!text) return PyError::fetch_pending();
    texts.push_back(*text);
    words.push_back(std::move(word));
  }
  return analysis::StopWords::from_words(texts);
}

}  // namespace

Outcome<OwnedRef> make_serbian_stopwords() {
  OwnedRef set = OwnedRef::steal(PyFrozenSet_New(nullptr));
  if (!set) return PyError::fetch_pending();
  for (const std::string_view word : analysis::serbian_stopword_list()) {
    OwnedRef str = OwnedRef::steal(py::str_from_utf8(word));
    if (!str || PySet_Add(set.get(), str.get()) != 0) return PyError::fetch_pending();
  }
  if (serbian_frozenset == nullptr) serbian_frozenset = OwnedRef::new_ref(set.get()).release();
  return set;
}

Outcome<analysis::StopWords> stop_words_argument(const char* function, PyObject* value) {
  if (value == nullptr || value == Py_None) return analysis::StopWords();
  if (value == serbian_frozenset) return analysis::StopWords::serbian();
  LastFrozenset& last = last_frozenset();
  if (value == last.set) return last.words;
  // A str is an iterable of str too, but stopwords="su" means a mistake.
  if (PyUnicode_Check(value) || PyBytes_Check(value)) {
    return stopwords_error(function, py::concat({"must be an iterable of str or None, not ", py::type_name(value)}));
  }
  auto words = read_words(function, value);
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
