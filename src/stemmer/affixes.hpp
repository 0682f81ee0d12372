// Morphological reduction on lower-case Latin text: the superlative prefix,
// the exception dictionary and the suffix table. All matching is on bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "stemmer/affix_tables.hpp"

namespace ardovel {

// Whether `a` and `b` hold the same bytes. The forms compared here are a few
// bytes long and compared for every word; a call to memcmp for them, which
// the compiler may or may not inline away, costs more than this loop.
[[nodiscard]] constexpr bool same_bytes(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t at = 0; at < a.size(); ++at)
    if (a[at] != b[at]) return false;
  return true;
}

// The form without a leading "naj", or nothing when it does not begin so.
[[nodiscard]] inline std::optional<std::string_view> strip_superlative(std::string_view form) noexcept {
  constexpr std::string_view prefix = "naj";
  if (form.size() < prefix.size() || !same_bytes(form.substr(0, prefix.size()), prefix)) return std::nullopt;
  return form.substr(prefix.size());
}

struct ExceptionOutcome {
  enum class Kind { not_exception, replace_and_stop, stop };
  Kind kind = Kind::not_exception;
  std::string_view stem;  // the fixed stem, for replace_and_stop only
};
[[nodiscard]] ExceptionOutcome find_exception(std::string_view form) noexcept;

// Defined here so that the common answer (not an exception, settled by the
// form's first byte and length) costs no call.
[[nodiscard]] inline ExceptionOutcome lookup_exception(std::string_view form) noexcept {
  if (form.empty() || form.size() >= 16) return {};
  if (((EXCEPTION_STARTS[static_cast<unsigned char>(form.front())] >> form.size()) & 1U) == 0) return {};
  return find_exception(form);
}

// The form without the longest suffix of the table that ends it, or nothing.
[[nodiscard]] std::optional<std::string_view> strip_suffix(std::string_view form) noexcept;

}  // namespace ardovel
