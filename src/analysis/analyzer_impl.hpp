// The template definitions behind analyzer.hpp; include that header instead.
#pragma once

#include "analysis/analyzer.hpp"

namespace ardovel::analysis {

template <Utf8Input Input, class Sink>
bool Analyzer::analyze(std::string_view text, Sink&& sink) {
  TokenScanner<Input> scanner(text);
  for (Token token; scanner.next(token);) {
    const std::string_view stem = stem_token(token.text);
    if (stem.empty()) {
      if (interrupted_) return false;
      continue;
    }
    if (!detail::deliver(sink, Term{token, stem})) return false;
  }
  return true;
}

}  // namespace ardovel::analysis
