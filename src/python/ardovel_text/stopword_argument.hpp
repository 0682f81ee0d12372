// The `stopwords` argument: from Python objects to the text layer's set.
#pragma once

#include <Python.h>

#include "ardovel/analyzer.hpp"
#include "binding/errors.hpp"
#include "binding/py_ref.hpp"

namespace ardovel::text_module {

// A new frozenset of the default list's words (SERBIAN_STOPWORDS), which
// from then on stands for StopWords::serbian() when passed back.
[[nodiscard]] py::Outcome<py::OwnedRef> make_serbian_stopwords();

// None for no stop words, or an iterable of str in any script and case. The
// default frozenset costs nothing; so does the frozenset passed last, which
// is kept with its set. Anything else is read anew on each call.
[[nodiscard]] py::Outcome<StopWords> stop_words_argument(PyObject* value);

}  // namespace ardovel::text_module
