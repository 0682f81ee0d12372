#include "stem_functions.hpp"

#include <array>
#include <string_view>

#include "ardovel/stem.hpp"
#include "binding/object_text.hpp"

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

constexpr CallSignature stem_py = word_only_signature("stem_py");
constexpr CallSignature conservative_stem_py = word_only_signature("conservative_stem_py");

// The stem is read straight from the stemmer's working buffer (or the word
// itself), so the only copy is the one into the new `str`; the buffer is
// released after the `str` exists.
Outcome<OwnedRef> stem_impl(std::string_view word) {
  Stemmer stemmer;
  OwnedRef result = OwnedRef::steal(str_from_utf8(stemmer.stem(word)));
  if (!result) return api_call_failed();
  return result;
}

// The two functions run the same routine and always agree.
constexpr std::array definitions{
    define_function<stem_py, stem_impl>(),
    define_function<conservative_stem_py, stem_impl>(),
};

}  // namespace

std::span<const FunctionDefinition> stem_function_definitions() noexcept { return definitions; }

}  // namespace ardovel::py
