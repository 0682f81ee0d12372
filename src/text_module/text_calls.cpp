#include "text_module/text_calls.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/stopwords.hpp"
#include "module/boundary.hpp"
#include "module/errors.hpp"
#include "module/object_text.hpp"
#include "module/py_ref.hpp"
#include "stemmer/stem.hpp"
#include "text_module/gil.hpp"
#include "text_module/stopword_argument.hpp"
#include "text_module/text_stems.hpp"
#include "text_module/text_utf8.hpp"
#include "unicode/text.hpp"

namespace ardovel::text_module {
namespace {

using py::OwnedRef;
using py::Outcome;
using py::PyError;

// Below this many bytes of UTF-8 a text is analysed with the lock held:
// handing the lock over and taking it back can cost more than the work, and
// a thread that gives it up may wait a whole switch interval to get it back.
constexpr std::size_t release_threshold = 8 * 1024;

PyError type_error(std::string message) { return PyError::with_message(PyExc_TypeError, std::move(message)); }

std::optional<PyError> check_argument_count(const char* function, Py_ssize_t nargs, Py_ssize_t least,
                                            Py_ssize_t most) {
  if (nargs >= least && nargs <= most) return std::nullopt;
  return type_error(py::concat({function, "() takes ", std::to_string(least),
                                least == most ? "" : py::concat({" to ", std::to_string(most)}),
                                " positional arguments but ", std::to_string(nargs), " were given"}));
}

Outcome<TextUtf8> text_argument(const char* function, PyObject* text) {
  if (!PyUnicode_Check(text)) {
    return type_error(py::concat({function, "() argument 'text' must be str, not ", py::type_name(text)}));
  }
  if (PyUnicode_READY(text) < 0) return PyError::fetch_pending();
  return TextUtf8(text);
}

// One `str` per distinct stem, in stem-number order.
Outcome<std::vector<OwnedRef>> stem_objects(const StemSet& stems) {
  std::vector<OwnedRef> objects;
  objects.reserve(stems.size());
  for (std::size_t number = 0; number < stems.size(); ++number) {
    OwnedRef str = OwnedRef::steal(py::str_from_utf8(stems[number]));
    if (!str) return PyError::fetch_pending();
    objects.push_back(std::move(str));
  }
  return objects;
}

Outcome<OwnedRef> stems_list(const TextStems& found) {
  auto objects = stem_objects(found.stems);
  if (!objects.ok()) return std::move(objects).failure<OwnedRef>();
  OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(found.numbers.size())));
  if (!list) return PyError::fetch_pending();
  Py_ssize_t index = 0;
  for (const std::uint32_t number : found.numbers) {
    PyObject* stem = objects.value()[number].get();
    Py_INCREF(stem);
    PyList_SET_ITEM(list.get(), index++, stem);
  }
  return list;
}

// (stem, start, end) per kept token. A tuple of a str and two ints can
// never be part of a cycle, so it leaves the collector's care at once:
// otherwise every collection while the list grows would walk all of them.
Outcome<OwnedRef> token_list(const TextStems& found) {
  auto objects = stem_objects(found.stems);
  if (!objects.ok()) return std::move(objects).failure<OwnedRef>();
  OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(found.numbers.size())));
  if (!list) return PyError::fetch_pending();
  for (std::size_t index = 0; index < found.numbers.size(); ++index) {
    PyObject* tuple = PyTuple_New(3);
    if (tuple == nullptr) return PyError::fetch_pending();
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(index), tuple);  // the list owns it from here
    PyObject* stem = objects.value()[found.numbers[index]].get();
    Py_INCREF(stem);
    PyTuple_SET_ITEM(tuple, 0, stem);
    PyObject* start = PyLong_FromSize_t(found.chars[index].begin);
    if (start == nullptr) return PyError::fetch_pending();
    PyTuple_SET_ITEM(tuple, 1, start);
    PyObject* end = PyLong_FromSize_t(found.chars[index].end);
    if (end == nullptr) return PyError::fetch_pending();
    PyTuple_SET_ITEM(tuple, 2, end);
    PyObject_GC_UnTrack(tuple);
  }
  return list;
}

// analyze(text, stopwords) and tokenize(text, stopwords): the text's UTF-8
// and the stop words are taken with the lock held, the stems found without
// it (for a long text), the result built with it again.
template <Offsets offsets>
Outcome<OwnedRef> text_call(const char* function, PyObject* const* args, Py_ssize_t nargs) {
  if (auto error = check_argument_count(function, nargs, 1, 2)) return std::move(*error);
  auto text = text_argument(function, args[0]);
  if (!text.ok()) return std::move(text).failure<OwnedRef>();
  auto stop_words = stop_words_argument(function, nargs > 1 ? args[1] : nullptr);
  if (!stop_words.ok()) return std::move(stop_words).failure<OwnedRef>();

  // The caller's reference keeps the `str`, and with it its code units and
  // UTF-8, alive while the lock is released.
  TextStems found;
  bool encoded = false;
  {
    GilReleased released(text.value().size_hint() >= release_threshold);
    encoded = text.value().encode();
    if (encoded) found = collect_stems(text.value().view(), stop_words.value(), offsets);
  }
  // A lone surrogate: CPython's own encoder says so, as stem_py's error does.
  if (!encoded) {
    if (py::utf8_of(args[0])) return py::Fault{"a text with a lone surrogate had a UTF-8 form"};
    return PyError::fetch_pending();
  }
  if constexpr (offsets == Offsets::keep) {
    return token_list(found);
  } else {
    return stems_list(found);
  }
}

// stem_words(words): stem_py over any iterable, minus a call per word.
Outcome<OwnedRef> stem_words_call(PyObject* const* args, Py_ssize_t nargs) {
  if (auto error = check_argument_count("stem_words", nargs, 1, 1)) return std::move(*error);
  OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(args[0]));
  if (!iterator) return PyError::fetch_pending();
  OwnedRef result = OwnedRef::steal(PyList_New(0));
  if (!result) return PyError::fetch_pending();
  Text scratch;
  for (std::size_t index = 0;; ++index) {
    // Owned while its stem is made: the stem may point into the word.
    OwnedRef word = OwnedRef::steal(PyIter_Next(iterator.get()));
    if (!word) {
      if (PyErr_Occurred() != nullptr) return PyError::fetch_pending();
      return result;
    }
    if (!PyUnicode_Check(word.get())) {
      return type_error(py::concat({"stem_words() item ", std::to_string(index), " must be str, not ",
                                    py::type_name(word.get())}));
    }
    const auto text = py::utf8_of(word.get());
    if (!text) return PyError::fetch_pending();
    OwnedRef stem = OwnedRef::steal(py::str_from_utf8(stem_word_into(*text, scratch)));
    if (!stem || PyList_Append(result.get(), stem.get()) != 0) return PyError::fetch_pending();
  }
}

PyObject* analyze_entry(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs) {
  return py::boundary_call([&] { return text_call<Offsets::skip>("analyze", args, nargs); });
}

PyObject* tokenize_entry(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs) {
  return py::boundary_call([&] { return text_call<Offsets::keep>("tokenize", args, nargs); });
}

PyObject* stem_words_entry(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs) {
  return py::boundary_call([&] { return stem_words_call(args, nargs); });
}

template <class Entry>
PyCFunction as_method(Entry entry) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

PyMethodDef methods[] = {
    {"analyze", as_method(analyze_entry), METH_FASTCALL, "analyze($module, text, stopwords=None, /)\n--\n\n"},
    {"tokenize", as_method(tokenize_entry), METH_FASTCALL, "tokenize($module, text, stopwords=None, /)\n--\n\n"},
    {"stem_words", as_method(stem_words_entry), METH_FASTCALL, "stem_words($module, words, /)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyMethodDef* text_methods() noexcept { return methods; }

}  // namespace ardovel::text_module
