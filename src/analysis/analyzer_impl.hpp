// The analyzer's state and its walk over a text, for the core's own users
// (the analyzer's methods and the key collector, whose loop is too hot for
// a call through FunctionRef per token).
#pragma once

#include <cstddef>
#include <string_view>

#include "analysis/tokenizer.hpp"
#include "ardovel/analyzer.hpp"
#include "ardovel/text.hpp"
#include "lexicon/lemma.hpp"

namespace ardovel {

struct Analyzer::Impl {
  explicit Impl(AnalyzerOptions chosen);

  // The key of one token, or an empty view when it is left out.
  std::string_view key(std::string_view token);
  // The same without the stop words; `source` gets the form the key was
  // made from (the token in NFKC, for a lemma also without accent marks).
  std::string_view bare_key(std::string_view token, std::string_view& source);
  // The normalised form of such a source, folded when keys are.
  std::string_view normal_form(std::string_view source);
  bool is_stop_word(std::string_view word);

  // Calls `sink(const Term&)` for each kept token; a sink returning bool
  // stops the walk by returning false. False when the sink or the
  // interruption stopped it.
  template <Utf8Input Input, class Sink>
  bool analyze(std::string_view text, Sink&& sink) {
    analysis::TokenScanner<Input> scanner(text);
    for (Token token; scanner.next(token);) {
      const std::string_view found = key(token.text);
      if (found.empty()) {
        if (interrupted) return false;
        continue;
      }
      if (!analysis::detail::deliver(sink, Term{token, found})) return false;
    }
    return true;
  }

  // The token as its key is made from it: itself, or its NFKC in
  // nfkc_scratch when it is not NFKC already.
  std::string_view equivalent(std::string_view token);
  // Whether `token` (the form its key was made from) is a stop word.
  bool stopped(std::string_view token);

  AnalyzerOptions options;
  // The stop words as the check reads them: with their bald forms too when
  // keys are folded.
  StopWords stop_words;
  Text key_scratch;
  Text normal_scratch;
  Text nfkc_scratch;
  Text fold_scratch;
  Text normal_fold_scratch;
  LemmaScratch lemma_scratch;
  Interruption interruption;
  bool interrupted = false;
};

// The core's way to an analyzer's state.
struct AnalyzerAccess {
  static Analyzer::Impl& impl(Analyzer& analyzer) noexcept { return *analyzer.impl_; }
};

namespace analysis {

// The form the stemmer holds after lowercasing, transliteration, the "ije"
// reduction and the character filter, before the prefix and suffix stages.
// `word` is valid UTF-8; `out` is overwritten and the view points into it.
std::string_view normalise_word(std::string_view word, Text& out);

}  // namespace analysis
}  // namespace ardovel
