// The functions of ardovel_text: analyze, tokenize, stem_words and
// pattern_terms, each one record and one typed implementation.
#pragma once

#include <span>

#include "binding/function_record.hpp"

namespace ardovel::text_module {

// In the order they are added to the module.
[[nodiscard]] std::span<const py::FunctionDefinition> text_function_definitions() noexcept;

}  // namespace ardovel::text_module
