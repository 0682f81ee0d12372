#include "module/entry.hpp"

#include <array>
#include <new>
#include <string>

#include "module/boundary.hpp"
#include "module/object_text.hpp"
#include "stemmer/stem.hpp"
#include "unicode/text.hpp"

namespace ardovel::py {
namespace {

constexpr std::string_view word_parameter[] = {"word"};

// Both functions take exactly one parameter, `word`, by position or keyword.
constexpr CallSignature word_only_signature(std::string_view function_name) {
  return {
      .function_name = function_name,
      .class_name = std::nullopt,
      .positional_names = word_parameter,
      .positional_only_count = 0,
      .required_positional_count = 1,
      .keyword_only = {},
  };
}

constexpr CallSignature stem_py_signature = word_only_signature("stem_py");
constexpr CallSignature conservative_stem_py_signature = word_only_signature("conservative_stem_py");

constexpr std::size_t slot_count = std::size(word_parameter);

template <const CallSignature& signature>
PyObject* entry(PyObject* /*self*/, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return boundary_call([&] { return stem_call(signature, args, nargs, kwnames); });
}

// The docstrings are CPython's signature block only: __text_signature__ is
// "(word)" and __doc__ is None.
constexpr std::array<FunctionDefinition, 2> definitions{{
    {std::string_view("stem_py", sizeof "stem_py"), entry<stem_py_signature>, METH_FASTCALL | METH_KEYWORDS,
     std::string_view("stem_py(word)\n--\n\n", sizeof "stem_py(word)\n--\n\n")},
    {std::string_view("conservative_stem_py", sizeof "conservative_stem_py"), entry<conservative_stem_py_signature>,
     METH_FASTCALL | METH_KEYWORDS,
     std::string_view("conservative_stem_py(word)\n--\n\n", sizeof "conservative_stem_py(word)\n--\n\n")},
}};

// A TypeError about the argument is restated to name it, with no cause and
// no context shown; any other error (UnicodeEncodeError) passes unchanged.
PyError name_the_argument(PyError error, std::string_view parameter) {
  if (error.type() != PyExc_TypeError) return error;
  const std::string message = concat({"argument '", parameter, "': ", error.value_text()});
  OwnedRef text = OwnedRef::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
  if (!text) return PyError::fetch_pending();
  OwnedRef renamed = OwnedRef::steal(PyObject_CallOneArg(PyExc_TypeError, text.get()));
  if (!renamed) return PyError::fetch_pending();
  PyObject* cause = error.cause();
  Py_XINCREF(cause);
  PyException_SetCause(renamed.get(), cause);  // steals; also sets __suppress_context__
  return PyError::from_instance(std::move(renamed));
}

Outcome<OwnedRef> make_result(std::string_view stem) {
  OwnedRef result = OwnedRef::steal(str_from_utf8(stem));
  if (!result) return api_call_failed();
  return result;
}

// The stem is read straight from the stemmer's working buffer (or the word
// itself), so the only copy is the one into the new `str`; the buffer is
// released after the `str` exists.
Outcome<OwnedRef> run_stemmer(std::string_view word) {
  Text scratch;
  std::string_view stem;
  try {
    stem = stem_word_into(word, scratch);
  } catch (const std::bad_alloc&) {
    return PyError::no_memory();
  }
  return make_result(stem);
}

}  // namespace

std::span<const FunctionDefinition> function_definitions() noexcept { return definitions; }

Outcome<std::string_view> extract_word_text(PyObject* object) {
  if (!PyUnicode_Check(object)) return name_the_argument(not_a_string_error(object), word_parameter[0]);
  if (const auto text = utf8_of(object)) return *text;
  return name_the_argument(PyError::fetch_pending(), word_parameter[0]);
}

Outcome<OwnedRef> stem_call(const CallSignature& signature, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
  PyObject* slots[slot_count] = {};
  // The usual call, stem_py(word), passes every check of the parser; taking
  // it here keeps a call out of the hot path.
  if (kwnames == nullptr && nargs == 1) {
    slots[0] = args[0];
  } else if (auto error = parse_call_arguments(signature, args, nargs, kwnames, slots)) {
    return std::move(*error);
  }
  auto word = extract_word_text(slots[0]);
  if (!word.ok()) return std::move(word).failure<OwnedRef>();
  return run_stemmer(word.value());
}

}  // namespace ardovel::py
