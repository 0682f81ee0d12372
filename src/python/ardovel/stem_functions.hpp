// The functions of the module `ardovel`, stem_py and conservative_stem_py.
#pragma once

#include <span>

#include "binding/function_record.hpp"

namespace ardovel::py {

// In the order they are added to the module.
[[nodiscard]] std::span<const FunctionDefinition> stem_function_definitions() noexcept;

}  // namespace ardovel::py
