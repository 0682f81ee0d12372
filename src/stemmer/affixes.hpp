// Morphological reduction on lower-case Latin text: the superlative prefix,
// the exception dictionary and the suffix table. All matching is on bytes.
#pragma once

#include <optional>
#include <string_view>

namespace ardovel {

// The form without a leading "naj", or nothing when it does not begin so.
[[nodiscard]] std::optional<std::string_view> strip_superlative(std::string_view form) noexcept;

struct ExceptionOutcome {
  enum class Kind { not_exception, replace_and_stop, stop };
  Kind kind = Kind::not_exception;
  std::string_view stem;  // the fixed stem, for replace_and_stop only
};
[[nodiscard]] ExceptionOutcome lookup_exception(std::string_view form) noexcept;

// The form without the longest suffix of the table that ends it, or nothing.
[[nodiscard]] std::optional<std::string_view> strip_suffix(std::string_view form) noexcept;

}  // namespace ardovel
