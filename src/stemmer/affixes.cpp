#include "stemmer/affixes.hpp"

namespace ardovel {

std::optional<std::string_view> strip_superlative(std::string_view /*form*/) noexcept { return std::nullopt; }

ExceptionOutcome lookup_exception(std::string_view /*form*/) noexcept { return {}; }

std::optional<std::string_view> strip_suffix(std::string_view /*form*/) noexcept { return std::nullopt; }

}  // namespace ardovel
