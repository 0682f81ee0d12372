// The analyzer's state and its walk over a text, for the core's own users
// (the analyzer's methods and the key collector, whose loop is too hot for
// a call through FunctionRef per token).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analysis/tokenizer.hpp"
#include "ardovel/analyzer.hpp"
#include "ardovel/text.hpp"
#include "lexicon/lemma.hpp"
#include "unicode/accents.hpp"

namespace ardovel {

struct Analyzer::Impl {
  explicit Impl(AnalyzerOptions chosen);

  // The key of one token, or an empty view when it is left out. `plain`:
  // the scanner saw that the token is its own NFKC, which spares the look.
  std::string_view key(std::string_view token, bool plain = false);
  // The same without the stop words; `source` gets the form the key was
  // made from (the token in NFKC, for a lemma also without accent marks).
  std::string_view bare_key(std::string_view token, std::string_view& source, bool plain = false);
  // The normalised form of such a source, folded when keys are.
  std::string_view normal_form(std::string_view source);
  bool is_stop_word(std::string_view word);

  // Calls `sink(const Term&)` for each kept token; a sink returning bool
  // stops the walk by returning false. False when the sink or the
  // interruption stopped it.
  template <Utf8Input Input, class Sink>
  bool analyze(std::string_view text, Sink&& sink) {
    analysis::TokenScanner<Input> scanner(text);
    if (lemmas_in_batches) return analyze_lemmas(scanner, sink);
    for (Token token; scanner.next(token);) {
      const std::string_view found = key(token.text, scanner.plain());
      if (found.empty()) {
        if (interrupted) return false;
        continue;
      }
      if (!analysis::detail::deliver(sink, Term{token, found})) return false;
    }
    return true;
  }

  // Lemma keys of up to lemma_batch tokens at a time: their lookups in the
  // lexicon, which wait on memory at nearly every byte, wait together
  // (Lexicon::find_each). A token long enough to be interrupted goes alone,
  // in its turn.
  template <class Scanner, class Sink>
  bool analyze_lemmas(Scanner& scanner, Sink& sink) {
    const Lexicon& lexicon = Lexicon::installed();
    for (;;) {
      std::size_t count = 0;
      Token token;
      bool more = true;
      bool long_token = false;
      while (count < lemma_batch) {
        if (!scanner.next(token)) {
          more = false;
          break;
        }
        if (token.text.size() >= interruptible_piece) {
          long_token = true;
          break;
        }
        LemmaSlot& slot = lemma_slots[count];
        slot.token = token;
        slot.source = nfkc_without_accents(token.text, slot.nfkc);
        lemma_queries[count++] = lemma_query_into(slot.source, options.fold, slot.scratch);
      }
      lexicon.find_each({lemma_queries.data(), count}, options.fold, lemma_codes.data());
      for (std::size_t k = 0; k < count; ++k) {
        LemmaSlot& slot = lemma_slots[k];
        const std::string_view found = unless_stopped(
            lemma_key_from(lexicon, slot.source, options.fold, lemma_codes[k], slot.scratch), slot.source);
        if (!found.empty() && !analysis::detail::deliver(sink, Term{slot.token, found})) return false;
      }
      if (long_token) {
        const std::string_view found = key(token.text);
        if (found.empty() && interrupted) return false;
        if (!found.empty() && !analysis::detail::deliver(sink, Term{token, found})) return false;
      }
      if (!more) return true;
    }
  }

  // `found`, the bare key of a token made from `source`, or empty when the
  // token is a stop word.
  std::string_view unless_stopped(std::string_view found, std::string_view source);

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
  // The batches of analyze_lemmas, used when keys are lemmas and the
  // lexicon is there (without it a lemma key is the stem).
  static constexpr std::size_t lemma_batch = 16;
  struct LemmaSlot {
    Token token;
    Text nfkc;
    std::string_view source;
    LemmaScratch scratch;
  };
  bool lemmas_in_batches = false;
  std::array<LemmaSlot, lemma_batch> lemma_slots;
  std::array<std::string_view, lemma_batch> lemma_queries;
  std::array<std::uint32_t, lemma_batch> lemma_codes{};
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
