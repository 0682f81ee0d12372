#include "ardovel_text/text_calls.hpp"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ardovel/keys.hpp"
#include "ardovel/analyzer.hpp"
#include "ardovel_text/stopword_argument.hpp"
#include "ardovel_text/text_utf8.hpp"
#include "binding/errors.hpp"
#include "binding/function_record.hpp"
#include "binding/gil.hpp"
#include "binding/object_text.hpp"
#include "binding/py_ref.hpp"

namespace ardovel::text_module {
namespace {

using py::OwnedRef;
using py::Outcome;
using py::PyError;
using py::GilReleased;

// Below this many bytes (of CPython's own code units) a text is analysed
// with the lock held: handing the lock over and taking it back can cost more
// than the work, and a thread that gives it up may wait a whole switch
// interval to get it back.
constexpr std::size_t release_threshold = 8 * 1024;

// One `str` per distinct key, in key-number order, each already holding
// the references of all its uses, added here in one go: adding them token
// by token would touch a random object per token, a cache miss each time
// when the vocabulary is large.
Outcome<std::vector<OwnedRef>> key_objects(const TextKeys& found) {
  std::vector<OwnedRef> objects;
  objects.reserve(found.keys.size());
  for (std::size_t number = 0; number < found.keys.size(); ++number) {
    OwnedRef str = OwnedRef::steal(py::str_from_utf8(found.keys[number]));
    if (!str) return PyError::fetch_pending();
    for (std::uint32_t uses = found.uses[number]; uses > 0; --uses) Py_INCREF(str.get());
    objects.push_back(std::move(str));
  }
  return objects;
}

// Hands the kept tokens' keys to the result in order, each with one of the
// references key_objects added; those not handed over when it goes (the
// result was abandoned) are given back.
class KeyUses {
 public:
  KeyUses(const std::vector<OwnedRef>& objects, const BlockArray<std::uint32_t>& numbers) noexcept
      : objects_(objects), numbers_(numbers) {}
  KeyUses(const KeyUses&) = delete;
  KeyUses& operator=(const KeyUses&) = delete;
  ~KeyUses() {
    for (; next_ < numbers_.size(); ++next_) Py_DECREF(objects_[numbers_[next_]].get());
  }
  [[nodiscard]] PyObject* take_next() noexcept { return objects_[numbers_[next_++]].get(); }

 private:
  const std::vector<OwnedRef>& objects_;
  const BlockArray<std::uint32_t>& numbers_;
  std::size_t next_ = 0;
};

// One item per kept token, in order: make_item(index, key) turns the
// token's key (a reference it takes over, also on failure) into the item,
// or returns null with an exception set.
template <class MakeItem>
Outcome<OwnedRef> per_token_list(const TextKeys& found, MakeItem&& make_item) {
  return key_objects(found).and_then([&](std::vector<OwnedRef> objects) -> Outcome<OwnedRef> {
    KeyUses uses(objects, found.numbers);
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

Outcome<OwnedRef> keys_list(const TextKeys& found) {
  return per_token_list(found, [](std::size_t /*index*/, PyObject* stem) { return stem; });
}

// (stem, start, end) per kept token. A tuple of a str and two ints can
// never be part of a cycle, so it leaves the collector's care at once:
// otherwise every collection while the list grows would walk all of them.
Outcome<OwnedRef> token_list(const TextKeys& found) {
  return per_token_list(found, [&](std::size_t index, PyObject* stem) -> PyObject* {
    OwnedRef tuple = OwnedRef::steal(PyTuple_New(3));
    if (!tuple) {
      Py_DECREF(stem);
      return nullptr;
    }
    PyTuple_SET_ITEM(tuple.get(), 0, stem);  // a tuple with empty places may be freed
    const Span& chars = found.chars[index];
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

// The keys, found without the lock for a long text. The caller's reference
// keeps the `str`, and with it its code units, alive meanwhile. A lone
// surrogate fails with CPython's own error, as it does in stem_py; a signal
// handler that raised, with what it raised.
Outcome<TextKeys> find_keys(const char* function, TextUtf8& text, const AnalyzerOptions& options, Offsets offsets,
                           PyObject* str) {
  TextKeys found;
  TextUtf8::End end = TextUtf8::End::complete;
  KeyCollector::Stop stop = KeyCollector::Stop::none;
  {
    GilReleased released(text.size_hint() >= release_threshold);
    SignalChecks signals(released);
    KeyCollector collector(options, offsets, text.size_hint(), signals.interruption());
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
  if (stop == KeyCollector::Stop::too_large) {
    return PyError::with_message(PyExc_OverflowError, py::concat({function, "() takes at most 4 GiB of keys (and 2**32 "
                                                                            "- 1 tokens) from one text; split it"}));
  }
  return PyError::fetch_pending();
}

// The options every function of the module takes, as keyword arguments.
Outcome<AnalyzerOptions> options_of(PyObject* stopwords, bool lemmas, bool fold) {
  if (lemmas && !lexicon_available()) {
    return PyError::with_message(PyExc_ValueError,
                                 "lemmas=True needs the lexicon, and this build of ardovel has none "
                                 "(it was built without Debian's hunspell-sr)");
  }
  return stop_words_argument(stopwords).and_then([&](StopWords stop_words) -> Outcome<AnalyzerOptions> {
    return AnalyzerOptions{std::move(stop_words), lemmas, fold};
  });
}

// analyze() and tokenize(): the arguments are read with the lock held, the
// keys found without it, and the result built with it again.
template <Offsets offsets>
Outcome<OwnedRef> text_call(const char* function, py::StrObject text, PyObject* stopwords, bool lemmas, bool fold) {
  TextUtf8 units(text.str);
  return options_of(stopwords, lemmas, fold)
      .and_then([&](AnalyzerOptions options) { return find_keys(function, units, options, offsets, text.str); })
      .and_then([](TextKeys found) {
        if constexpr (offsets == Offsets::keep) {
          return token_list(found);
        } else {
          return keys_list(found);
        }
      });
}

Outcome<OwnedRef> analyze_impl(py::StrObject text, PyObject* stopwords, bool lemmas, bool fold) {
  return text_call<Offsets::skip>("analyze", text, stopwords, lemmas, fold);
}

Outcome<OwnedRef> tokenize_impl(py::StrObject text, PyObject* stopwords, bool lemmas, bool fold) {
  return text_call<Offsets::keep>("tokenize", text, stopwords, lemmas, fold);
}

// One item of stem_words' argument: its key as a new `str`.
Outcome<OwnedRef> stem_of_item(PyObject* word, std::size_t index, Analyzer& analyzer) {
  if (PyUnicode_Check(word)) {
    if (const auto text = py::utf8_of(word)) {
      OwnedRef stem = OwnedRef::steal(py::str_from_utf8(analyzer.key(*text)));
      if (!stem) return PyError::fetch_pending();
      return stem;
    }
  }
  return py::str_argument_error(word, py::concat({"words[", std::to_string(index), "]"}));
}

// A list or tuple is read in place, its items borrowed: nothing in the loop
// runs Python code or lets another thread in, so the items cannot go away.
Outcome<OwnedRef> stem_sequence(PyObject* words, Analyzer& stemmer) {
  const Py_ssize_t count = PySequence_Fast_GET_SIZE(words);
  OwnedRef result = OwnedRef::steal(PyList_New(count));
  if (!result) return PyError::fetch_pending();
  for (Py_ssize_t index = 0; index < count; ++index) {
    auto stem = stem_of_item(PySequence_Fast_GET_ITEM(words, index), static_cast<std::size_t>(index), stemmer);
    if (!stem.ok()) return stem;
    PyList_SET_ITEM(result.get(), index, stem.value().release());
  }
  return result;
}

Outcome<OwnedRef> stem_iterable(PyObject* words, Analyzer& stemmer) {
  OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(words));
  if (!iterator) return py::name_the_argument(PyError::fetch_pending(), "words");
  OwnedRef result = OwnedRef::steal(PyList_New(0));
  if (!result) return PyError::fetch_pending();
  for (std::size_t index = 0;; ++index) {
    // Owned while its stem is made: the stem may point into the word.
    OwnedRef word = OwnedRef::steal(PyIter_Next(iterator.get()));
    if (!word) {
      if (PyErr_Occurred() != nullptr) return PyError::fetch_pending();
      return result;
    }
    auto stem = stem_of_item(word.get(), index, stemmer);
    if (!stem.ok()) return stem;
    if (PyList_Append(result.get(), stem.value().get()) != 0) return PyError::fetch_pending();
  }
}

// stem_words(words): each word's key, taken whole, over any iterable, minus
// a call per word.
Outcome<OwnedRef> stem_words_impl(PyObject* words, PyObject* stopwords, bool lemmas, bool fold) {
  return options_of(stopwords, lemmas, fold).and_then([&](AnalyzerOptions options) {
    Analyzer analyzer(std::move(options));
    if (PyList_CheckExact(words) || PyTuple_CheckExact(words)) return stem_sequence(words, analyzer);
    return stem_iterable(words, analyzer);
  });
}

// pattern_terms(pattern): the alternatives a typed pattern stands for.
Outcome<OwnedRef> pattern_terms_impl(std::string_view pattern, bool lemmas, bool fold) {
  return options_of(nullptr, lemmas, fold).and_then([&](AnalyzerOptions options) -> Outcome<OwnedRef> {
    OwnedRef result = OwnedRef::steal(PyList_New(0));
    if (!result) return PyError::fetch_pending();
    bool failed = false;
    Analyzer(std::move(options)).pattern_terms(pattern, [&](std::string_view term) {
      OwnedRef str = OwnedRef::steal(py::str_from_utf8(term));
      failed = !str || PyList_Append(result.get(), str.get()) != 0;
      return !failed;
    });
    if (failed) return PyError::fetch_pending();
    return result;
  });
}

constexpr std::string_view text_parameter[] = {"text"};
constexpr std::string_view words_parameter[] = {"words"};
constexpr std::string_view pattern_parameter[] = {"pattern"};
constexpr py::KeywordOnlyParameter text_options[] = {
    {"stopwords", false, "None"}, {"lemmas", false, "False"}, {"fold", false, "False"}};
constexpr py::KeywordOnlyParameter key_options[] = {{"lemmas", false, "False"}, {"fold", false, "False"}};

constexpr py::CallSignature analyze_signature{
    .function_name = "analyze",
    .class_name = std::nullopt,
    .positional_names = text_parameter,
    .positional_only_count = 0,
    .required_positional_count = 1,
    .keyword_only = text_options,
    .doc = "The keys of the kept tokens of `text`, in order.\n\n"
           ">>> analyze(\"Knjige,reke i ДЕЦА\")\n['knjig', 'rek', 'dec']",
};
constexpr py::CallSignature tokenize_signature{
    .function_name = "tokenize",
    .class_name = std::nullopt,
    .positional_names = text_parameter,
    .positional_only_count = 0,
    .required_positional_count = 1,
    .keyword_only = text_options,
    .doc = "(key, start, end) for each kept token of `text`, in order; text[start:end] is the token as written.\n\n"
           ">>> tokenize(\"Knjige,reke\")\n[('knjig', 0, 6), ('rek', 7, 11)]",
};
constexpr py::CallSignature stem_words_signature{
    .function_name = "stem_words",
    .class_name = std::nullopt,
    .positional_names = words_parameter,
    .positional_only_count = 0,
    .required_positional_count = 1,
    .keyword_only = text_options,
    .doc = "The key of each word, taken whole, as analyze() would give it for a text of that one token; empty "
           "keys included, without a Python call per word. With no options, the key is ardovel.stem_py(word) "
           "of the word in NFKC.",
};
constexpr py::CallSignature pattern_terms_signature{
    .function_name = "pattern_terms",
    .class_name = std::nullopt,
    .positional_names = pattern_parameter,
    .positional_only_count = 0,
    .required_positional_count = 1,
    .keyword_only = key_options,
    .doc = "The terms a pattern typed in a query stands for, as alternatives: a trailing * makes it the start "
           "of a word, and * and ? inside it are wildcards.\n\n"
           ">>> pattern_terms(\"kupus*\")\n['kupuh*', 'kupus*']",
};

constexpr std::array definitions{
    py::define_function<analyze_signature, analyze_impl>(),
    py::define_function<tokenize_signature, tokenize_impl>(),
    py::define_function<stem_words_signature, stem_words_impl>(),
    py::define_function<pattern_terms_signature, pattern_terms_impl>(),
};

}  // namespace

std::span<const py::FunctionDefinition> text_function_definitions() noexcept { return definitions; }

}  // namespace ardovel::text_module
