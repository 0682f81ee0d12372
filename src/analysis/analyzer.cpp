#include "analysis/analyzer.hpp"

#include "stemmer/normalise.hpp"
#include "stemmer/stem.hpp"

namespace ardovel::analysis {

std::string_view normalise_word(std::string_view word, Text& out) {
  out.clear();
  char* const form = out.extend(normalised_capacity(word.size()));
  out.truncate(normalise_into(word, form));
  return out.view();
}

bool Analyzer::is_stop_word(std::string_view word) {
  return !stop_words_.empty() && stop_words_.contains_normalised(normalise_word(word, normal_scratch_));
}

std::string_view Analyzer::stem_token(std::string_view token) {
  if (is_stop_word(token)) return {};
  return stem_word_into(token, stem_scratch_);
}

}  // namespace ardovel::analysis
