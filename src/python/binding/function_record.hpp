// A Python-visible function is one constant record (its CallSignature) and
// one typed implementation; everything CPython needs is derived from the
// pair at compile time, as Argument Clinic derives it from its one
// declaration: the name and the signature block as constant texts, the
// method definition, and a thin entry point that parses and converts the
// arguments and calls the implementation inside the boundary. So
//
//   Outcome<OwnedRef> stem_impl(std::string_view word);
//   define_function<stem_py, stem_impl>()
//
// (stem_py being the record of `stem_py(word)`) is all a module writes per
// function; see stem_functions.cpp.
#pragma once

#include <Python.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "binding/arguments.hpp"
#include "binding/boundary.hpp"
#include "binding/errors.hpp"

namespace ardovel::py {

// What a module turns into a builtin function: a PyMethodDef's contents,
// with name and docstring carrying their terminating zero byte.
struct FunctionDefinition {
  std::string_view name;
  _PyCFunctionFastWithKeywords entry;
  int flags;
  std::string_view doc;
};

namespace record_text {

// Text assembled at compile time, followed by one zero byte.
template <std::size_t Length>
struct ConstantText {
  std::array<char, Length + 1> chars{};

  [[nodiscard]] constexpr std::string_view text() const noexcept { return {chars.data(), Length}; }
  [[nodiscard]] constexpr std::string_view with_terminator() const noexcept { return {chars.data(), Length + 1}; }
};

// Appends pieces to `out`, or with no `out` only counts them, so that one
// routine both sizes a text and fills it.
class Writer {
 public:
  constexpr explicit Writer(char* out) noexcept : out_(out) {}
  constexpr Writer& operator<<(std::string_view piece) noexcept {
    if (out_ != nullptr) std::copy(piece.begin(), piece.end(), out_ + length_);
    length_ += piece.size();
    return *this;
  }
  [[nodiscard]] constexpr std::size_t length() const noexcept { return length_; }

 private:
  char* out_;
  std::size_t length_ = 0;
};

constexpr std::size_t write_name(const CallSignature& signature, char* out) noexcept {
  return (Writer(out) << signature.function_name).length();
}

// CPython's signature block, "name(a, /, b, *, c=None)\n--\n\n", then the
// record's doc: the docstring that gives __text_signature__
// "(a, /, b, *, c=None)" and __doc__ the doc (None when it is empty).
constexpr std::size_t write_signature_block(const CallSignature& signature, char* out) noexcept {
  Writer writer(out);
  writer << signature.function_name << "(";
  const auto positional = signature.positional_names;
  for (std::size_t i = 0; i < positional.size(); ++i) {
    if (i > 0) writer << ", ";
    writer << positional[i];
    if (i + 1 == signature.positional_only_count) writer << ", /";
  }
  if (!signature.keyword_only.empty()) {
    writer << (positional.empty() ? "*" : ", *");
    for (const KeywordOnlyParameter& parameter : signature.keyword_only) {
      writer << ", " << parameter.name;
      if (!parameter.required) writer << "=" << parameter.default_text;
    }
  }
  writer << ")\n--\n\n" << signature.doc;
  return writer.length();
}

template <auto write, const CallSignature& signature>
constexpr auto make_text() {
  ConstantText<write(signature, nullptr)> text;
  write(signature, text.chars.data());
  return text;
}

}  // namespace record_text

template <const CallSignature& signature>
inline constexpr auto function_name_text = record_text::make_text<record_text::write_name, signature>();

template <const CallSignature& signature>
inline constexpr auto signature_block = record_text::make_text<record_text::write_signature_block, signature>();

namespace record_call {

template <class Implementation>
struct Parameters;

template <class... Types>
struct Parameters<Outcome<OwnedRef> (*)(Types...)> {
  using types = std::tuple<std::remove_cvref_t<Types>...>;
};

template <auto implementation>
using parameters_of = typename Parameters<decltype(implementation)>::types;

// Optional parameters are keyword-only, each with its default's text.
constexpr bool optional_parameters_are_shown(const CallSignature& signature) noexcept {
  if (signature.required_positional_count != signature.positional_names.size()) return false;
  return std::ranges::all_of(signature.keyword_only,
                             [](const KeywordOnlyParameter& p) { return p.required || !p.default_text.empty(); });
}

// Converts the argument in slot `index` and each one after it, then calls
// the implementation; the first argument that does not convert ends the call.
template <const CallSignature& signature, auto implementation, std::size_t index = 0, class... Converted>
Outcome<OwnedRef> convert_and_call(std::span<PyObject* const> slots, Converted&&... converted) {
  using Types = parameters_of<implementation>;
  if constexpr (index == std::tuple_size_v<Types>) {
    return implementation(std::forward<Converted>(converted)...);
  } else {
    using Type = std::tuple_element_t<index, Types>;
    return ArgumentConverter<Type>::convert(slots[index], signature.parameter_name(index)).and_then([&](Type value) {
      return convert_and_call<signature, implementation, index + 1>(slots, std::forward<Converted>(converted)...,
                                                                    std::move(value));
    });
  }
}

template <const CallSignature& signature, auto implementation>
Outcome<OwnedRef> call(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  constexpr std::size_t positional = signature.positional_names.size();
  std::array<PyObject*, signature.slot_count()> slots{};
  // The usual call gives every argument by position and so passes every
  // check of the parser; taking it here keeps a call out of the hot path.
  if (signature.keyword_only.empty() && kwnames == nullptr && nargs == static_cast<Py_ssize_t>(positional)) {
    std::copy_n(args, positional, slots.begin());
  } else if (auto error = parse_call_arguments(signature, args, nargs, kwnames, slots)) {
    return std::move(*error);
  }
  return convert_and_call<signature, implementation>(slots);
}

// The entry point CPython calls; the module (its `self`) is not used.
template <const CallSignature& signature, auto implementation>
PyObject* entry(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
  return boundary_call([&] { return call<signature, implementation>(args, nargs, kwnames); });
}

}  // namespace record_call

// The method definition of a module function: `implementation` returns
// Outcome<OwnedRef> and takes one parameter per slot of the record, each of
// a type that ArgumentConverter knows.
template <const CallSignature& signature, auto implementation>
constexpr FunctionDefinition define_function() {
  static_assert(!signature.class_name, "a method's signature block would start with $self");
  static_assert(record_call::optional_parameters_are_shown(signature),
                "an optional parameter is keyword-only and its default is shown in the signature block");
  static_assert(std::tuple_size_v<record_call::parameters_of<implementation>> == signature.slot_count(),
                "the implementation takes one parameter per parameter of the record");
  static_assert(signature_block<signature>.text().find('\0') == std::string_view::npos,
                "CPython reads the name and docstring as zero-terminated strings");
  return {function_name_text<signature>.with_terminator(), record_call::entry<signature, implementation>,
          METH_FASTCALL | METH_KEYWORDS, signature_block<signature>.with_terminator()};
}

}  // namespace ardovel::py
