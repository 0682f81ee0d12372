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
  std::string_view stem;
  if (token.size() < interruptible_piece) {
    stem = stem_word_into(token, stem_scratch_);
  } else if (const auto finished = stem_word_into(token, stem_scratch_, interruption_)) {
    stem = *finished;
  } else {
    interrupted_ = true;
    return {};
  }
  // No stem is longer than the normalised form it comes from: the later
  // stages only cut the form, or put a one-byte letter for the last one or a
  // shorter fixed stem for the whole, and the "IT" guard keeps two bytes
  // whose form has two. So a stem longer than every stop word spares the
  // second normalisation, and most tokens never pay for it.
  if (stem.empty() || stem.size() > stop_words_.longest()) return stem;
  return is_stop_word(token) ? std::string_view() : stem;
}

}  // namespace ardovel::analysis
