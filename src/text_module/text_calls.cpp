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

// Below this many bytes (of CPython's own code units) a text is analysed
// with the lock held: handing the lock over and taking it back can cost more
// than the work, and a thread that gives it up may wait a whole switch
// interval to get it back.
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

// One `str` per distinct stem, in stem-number order, each already holding
// the references of all its uses, added here in one go: adding them token
// by token would touch a random object per token, a cache miss each time
// when the vocabulary is large.
Outcome<std::vector<OwnedRef>> stem_objects(const TextStems& found) {
  std::vector<OwnedRef> objects;
  objects.reserve(found.stems.size());
  for (std::size_t number = 0; number < found.stems.size(); ++number) {
    OwnedRef str = OwnedRef::steal(py::str_from_utf8(found.stems[number]));
    if (!str) return PyError::fetch_pending();
    for (std::uint32_t uses = found.uses[number]; uses > 0; --uses) Py_INCREF(str.get());
    objects.push_back(std::move(str));
  }
  return objects;
}

// Hands the kept tokens' stems to the result in order, each with one of the
// references stem_objects added; those not handed over when it goes (the
// result was abandoned) are given back.
class StemUses {
 public:
  StemUses(const std::vector<OwnedRef>& objects, const BlockArray<std::uint32_t>& numbers) noexcept
      : objects_(objects), numbers_(numbers) {}
  StemUses(const StemUses&) = delete;
  StemUses& operator=(const StemUses&) = delete;
  ~StemUses() {
    for (; next_ < numbers_.size(); ++next_) Py_DECREF(objects_[numbers_[next_]].get());
  }
  [[nodiscard]] PyObject* take_next() noexcept { return objects_[numbers_[next_++]].get(); }

 private:
  const std::vector<OwnedRef>& objects_;
  const BlockArray<std::uint32_t>& numbers_;
  std::size_t next_ = 0;
};

// One item per kept token, in order: make_item(index, stem) turns the
// token's stem (a reference it takes over, also on failure) into the item,
// or returns null with an exception set.
template <class MakeItem>
Outcome<OwnedRef> per_token_list(const TextStems& found, MakeItem&& make_item) {
  return stem_objects(found).and_then([&](std::vector<OwnedRef> objects) -> Outcome<OwnedRef> {
    StemUses uses(objects, found.numbers);
    const auto count = static_cast<Py_ssize_t>(found.numbers.size());
    OwnedRef list = OwnedRef::steal(PyList_New(count));
    if (!list) return PyError::fetch_pending();
    for (Py_ssize_t index = 0; index < count; ++index) {
      PyObject* item = make_item(static_cast<std::size_t>(index), uses.take_next());
      if (item == nullptr) return PyError::fetch_pending();
      PyList_SET_ITEM(list.get(), index, item);
    }
    return list;
  });
}

Outcome<OwnedRef> stems_list(const TextStems& found) {
  return per_token_list(found, [](std::size_t /*index*/, PyObject* stem) { return stem; });
}

// (stem, start, end) per kept token. A tuple of a str and two ints can
// never be part of a cycle, so it leaves the collector's care at once:
// otherwise every collection while the list grows would walk all of them.
Outcome<OwnedRef> token_list(const TextStems& found) {
  return per_token_list(found, [&](std::size_t index, PyObject* stem) -> PyObject* {
    OwnedRef tuple = OwnedRef::steal(PyTuple_New(3));
    if (!tuple) {
      Py_DECREF(stem);
      return nullptr;
    }
    PyTuple_SET_ITEM(tuple.get(), 0, stem);  // a tuple with empty places may be freed
    const analysis::Span& chars = found.chars[index];
    PyObject* start = PyLong_FromSize_t(chars.begin);
    if (start == nullptr) return nullptr;
    PyTuple_SET_ITEM(tuple.get(), 1, start);
    PyObject* end = PyLong_FromSize_t(chars.end);
    if (end == nullptr) return nullptr;
    PyTuple_SET_ITEM(tuple.get(), 2, end);
    PyObject_GC_UnTrack(tuple.get());
    return tuple.release();
  });
}

// A call that runs without the lock takes it back for a moment after about
// this many bytes of text, so that CPython can run its signal handlers and
// Ctrl-C stops a long call rather than waiting for its end.
constexpr std::size_t signal_check_bytes = std::size_t{4} << 20;

class SignalChecks {
 public:
  explicit SignalChecks(GilReleased& released) noexcept : released_(released) {}

  // After `bytes` more of the text: whether a signal handler raised.
  bool raised_after(std::size_t bytes) {
    since_ += bytes;
    if (since_ < signal_check_bytes) return false;
    since_ = 0;
    return raised();
  }
  // The same question while one token of megabytes is stemmed.
  Interruption interruption() noexcept {
    return {[](void* self) noexcept { return static_cast<SignalChecks*>(self)->raised(); }, this};
  }

 private:
  bool raised() noexcept {
    return released_.with_lock([] { return PyErr_CheckSignals() != 0; });
  }

  GilReleased& released_;
  std::size_t since_ = 0;
};

// The stems, found without the lock for a long text. The caller's reference
// keeps the `str`, and with it its code units, alive meanwhile. A lone
// surrogate fails with CPython's own error, as it does in stem_py; a signal
// handler that raised, with what it raised.
Outcome<TextStems> find_stems(const char* function, TextUtf8& text, const analysis::StopWords& stop_words,
                              Offsets offsets, PyObject* str) {
  TextStems found;
  TextUtf8::End end = TextUtf8::End::complete;
  StemCollector::Stop stop = StemCollector::Stop::none;
  {
    GilReleased released(text.size_hint() >= release_threshold);
    SignalChecks signals(released);
    StemCollector collector(stop_words, offsets, text.size_hint(), signals.interruption());
    end = text.read([&](std::string_view piece, std::size_t first_char) {
      return !signals.raised_after(piece.size()) && collector.add(piece, first_char);
    });
    stop = collector.stop();
    if (end == TextUtf8::End::complete) found = collector.finish();
  }
  if (end == TextUtf8::End::complete) return found;
  if (end == TextUtf8::End::lone_surrogate) {
    if (py::utf8_of(str)) return py::Fault{"a text with a lone surrogate had a UTF-8 form"};
    return PyError::fetch_pending();
  }
  if (stop == StemCollector::Stop::too_large) {
    return PyError::with_message(PyExc_OverflowError,
                                 py::concat({function, "() takes at most 4 GiB of stems (and 2**32 - 1 tokens) from one text; split a longer text"}));
  }
  return PyError::fetch_pending();
}

// analyze(text, stopwords) and tokenize(text, stopwords): the arguments are
// read with the lock held, the stems found without it, and the result built
// with it again.
template <Offsets offsets>
Outcome<OwnedRef> text_call(const char* function, PyObject* const* args, Py_ssize_t nargs) {
  if (auto error = check_argument_count(function, nargs, 1, 2)) return std::move(*error);
  PyObject* const str = args[0];
  PyObject* const stopwords = nargs > 1 ? args[1] : nullptr;
  return text_argument(function, str).and_then([&](TextUtf8 text) {
    return stop_words_argument(function, stopwords)
        .and_then([&](analysis::StopWords stop_words) { return find_stems(function, text, stop_words, offsets, str); })
        .and_then([](TextStems found) {
          if constexpr (offsets == Offsets::keep) {
            return token_list(found);
          } else {
            return stems_list(found);
          }
        });
  });
}

// One item of stem_words' argument: its stem as a new `str`.
Outcome<OwnedRef> stem_of_item(PyObject* word, std::size_t index, Text& scratch) {
  if (!PyUnicode_Check(word)) {
    return type_error(
        py::concat({"stem_words() item ", std::to_string(index), " must be str, not ", py::type_name(word)}));
  }
  const auto text = py::utf8_of(word);
  if (!text) return PyError::fetch_pending();
  OwnedRef stem = OwnedRef::steal(py::str_from_utf8(stem_word_into(*text, scratch)));
  if (!stem) return PyError::fetch_pending();
  return stem;
}

// A list or tuple is read in place, its items borrowed: nothing in the loop
// runs Python code or lets another thread in, so the items cannot go away.
Outcome<OwnedRef> stem_sequence(PyObject* words) {
  const Py_ssize_t count = PySequence_Fast_GET_SIZE(words);
  OwnedRef result = OwnedRef::steal(PyList_New(count));
  if (!result) return PyError::fetch_pending();
  Text scratch;
  for (Py_ssize_t index = 0; index < count; ++index) {
    auto stem = stem_of_item(PySequence_Fast_GET_ITEM(words, index), static_cast<std::size_t>(index), scratch);
    if (!stem.ok()) return stem;
    PyList_SET_ITEM(result.get(), index, stem.value().release());
  }
  return result;
}

Outcome<OwnedRef> stem_iterable(PyObject* words) {
  OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(words));
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
    auto stem = stem_of_item(word.get(), index, scratch);
    if (!stem.ok()) return stem;
    if (PyList_Append(result.get(), stem.value().get()) != 0) return PyError::fetch_pending();
  }
}

// stem_words(words): stem_py over any iterable, minus a call per word.
Outcome<OwnedRef> stem_words_call(PyObject* const* args, Py_ssize_t nargs) {
  if (auto error = check_argument_count("stem_words", nargs, 1, 1)) return std::move(*error);
  if (PyList_CheckExact(args[0]) || PyTuple_CheckExact(args[0])) return stem_sequence(args[0]);
  return stem_iterable(args[0]);
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
