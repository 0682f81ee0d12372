// The native functions behind ardovel_text's analyze, tokenize and
// stem_words. They take their arguments by position only; the package's
// Python functions give them their keyword-only signatures.
#pragma once

#include <Python.h>


namespace ardovel::text_module {

// For the module definition; ends with the zeroed sentinel CPython expects.
[[nodiscard]] PyMethodDef* text_methods() noexcept;

}  // namespace ardovel::text_module
