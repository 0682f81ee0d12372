#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

#include "analysis/analyzer_impl.hpp"
#include "ardovel/utf8.hpp"
#include "stemmer/normalise.hpp"
#include "stemmer/stem.hpp"
#include "unicode/accents.hpp"
#include "unicode/normalization.hpp"
#include "unicode/separator.hpp"
#include "unicode/unicode.hpp"

namespace ardovel {

namespace analysis {

std::string_view normalise_word(std::string_view word, Text& out) {
  out.clear();
  char* const form = out.extend(normalised_capacity(word.size()));
  out.truncate(normalise_into(word, form));
  return out.view();
}

}  // namespace analysis

bool separates_tokens(char32_t c) noexcept { return is_separator(c); }

bool TokenWalk::next(Token& token) noexcept {
  const auto walk = [&]<Utf8Input Input>() {
    analysis::TokenScanner<Input> scanner(text_, at_, chars_);
    const bool found = scanner.next(token);
    at_ = scanner.position();
    chars_ = scanner.chars();
    return found;
  };
  return input_ == Utf8Input::lenient ? walk.template operator()<Utf8Input::lenient>()
                                      : walk.template operator()<Utf8Input::valid>();
}

TokenKind token_kind(std::string_view token) noexcept {
  bool ascii_letters = false;
  bool ascii_digits = false;
  bool letters = false;
  bool digits = false;
  bool other = false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(token.data());
  for (std::size_t at = 0; at < token.size();) {
    const char32_t c = utf8::decode(bytes, at);
    if (c < 0x80) {
      const bool letter = (c | 0x20U) >= 'a' && (c | 0x20U) <= 'z';
      const bool digit = c >= '0' && c <= '9';
      ascii_letters |= letter;
      ascii_digits |= digit;
      other |= !letter && !digit;
    } else if (is_alphabetic(c)) {
      letters = true;
    } else if (is_numeric(c)) {
      digits = true;
    } else {
      other = true;
    }
  }
  if (ascii_letters && !ascii_digits && !letters && !digits && !other) return TokenKind::ascii_word;
  if (ascii_digits && !ascii_letters && !letters && !digits && !other) return TokenKind::number;
  if ((ascii_letters || letters) && (ascii_digits || digits)) return TokenKind::letters_and_digits;
  return TokenKind::word;
}

Analyzer::Impl::Impl(AnalyzerOptions chosen)
    : options(std::move(chosen)),
      stop_words(options.fold ? options.stop_words.with_bald_forms() : options.stop_words),
      lemmas_in_batches(options.lemmas && Lexicon::installed().available()) {}

std::string_view Analyzer::Impl::equivalent(std::string_view token) { return nfkc(token, nfkc_scratch); }

std::string_view Analyzer::Impl::normal_form(std::string_view source) {
  const std::string_view normal = analysis::normalise_word(source, normal_scratch);
  if (!options.fold) return normal;
  fold_into(normal, normal_fold_scratch);
  return normal_fold_scratch.view();
}

bool Analyzer::Impl::stopped(std::string_view token) { return stop_words.contains_normalised(normal_form(token)); }

bool Analyzer::Impl::is_stop_word(std::string_view word) {
  return !stop_words.empty() && stopped(options.lemmas ? nfkc_without_accents(word, nfkc_scratch) : equivalent(word));
}

// Canonically and compatibly equivalent tokens get one key: a token is
// brought to NFKC first (nearly every token is NFKC already, which costs
// one look at its bytes); a lemma's also loses its accent marks.
std::string_view Analyzer::Impl::bare_key(std::string_view written, std::string_view& source, bool plain) {
  const bool long_token = written.size() >= interruptible_piece;
  if (options.lemmas) {
    source = nfkc_without_accents(written, nfkc_scratch);
    // The lookup's own pass over a token of megabytes cannot stop midway,
    // but it is asked before and after.
    if (long_token && interruption.requested()) {
      interrupted = true;
      return {};
    }
    const std::string_view lemma = lemma_key_into(source, options.fold, lemma_scratch);
    if (long_token && interruption.requested()) {
      interrupted = true;
      return {};
    }
    return lemma;
  }
  source = plain ? written : equivalent(written);
  std::string_view stem;
  if (!long_token) {
    stem = stem_word_into(source, key_scratch);
  } else if (const auto finished = stem_word_into(source, key_scratch, interruption)) {
    stem = *finished;
  } else {
    interrupted = true;
    return {};
  }
  if (!options.fold || stem.empty()) return stem;
  fold_into(stem, fold_scratch);
  return fold_scratch.view();
}

std::string_view Analyzer::Impl::key(std::string_view written, bool plain) {
  std::string_view source;
  const std::string_view found = bare_key(written, source, plain);
  // No stem is longer than the normalised form it comes from: the later
  // stages only cut the form, or put a one-byte letter for the last one or a
  // shorter fixed stem for the whole, and the "IT" guard keeps two bytes
  // whose form has two. So a stem longer than every stop word spares the
  // second normalisation, and most tokens never pay for it. (Lemmas and
  // folded forms may be shorter than their key: they take the long way.)
  return unless_stopped(found, source);
}

std::string_view Analyzer::Impl::unless_stopped(std::string_view found, std::string_view source) {
  if (found.empty() || stop_words.empty()) return found;
  if (!options.lemmas && !options.fold && found.size() > stop_words.longest()) return found;
  return stopped(source) ? std::string_view() : found;
}

Analyzer::Analyzer(AnalyzerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}
Analyzer::~Analyzer() = default;
Analyzer::Analyzer(Analyzer&&) noexcept = default;
Analyzer& Analyzer::operator=(Analyzer&&) noexcept = default;

const AnalyzerOptions& Analyzer::options() const noexcept { return impl_->options; }

bool Analyzer::analyze(std::string_view text, FunctionRef<bool(const Term&)> sink, Utf8Input input) {
  if (input == Utf8Input::lenient) return impl_->analyze<Utf8Input::lenient>(text, sink);
  return impl_->analyze<Utf8Input::valid>(text, sink);
}

std::string_view Analyzer::key(std::string_view token) { return impl_->key(token); }

bool Analyzer::is_stop_word(std::string_view word) { return impl_->is_stop_word(word); }

void Analyzer::set_interruption(Interruption interruption) noexcept {
  impl_->interruption = interruption;
  impl_->interrupted = false;
}

bool Analyzer::interrupted() const noexcept { return impl_->interrupted; }

void Analyzer::shrink_scratch(std::size_t most) noexcept {
  impl_->key_scratch.clear_and_shrink(most);
  impl_->normal_scratch.clear_and_shrink(most);
  impl_->nfkc_scratch.clear_and_shrink(most);
  impl_->fold_scratch.clear_and_shrink(most);
  impl_->normal_fold_scratch.clear_and_shrink(most);
  const auto shrink = [most](LemmaScratch& scratch) {
    for (Text* text : {&scratch.form, &scratch.bald, &scratch.variant, &scratch.key}) text->clear_and_shrink(most);
  };
  shrink(impl_->lemma_scratch);
  for (Impl::LemmaSlot& slot : impl_->lemma_slots) {
    slot.nfkc.clear_and_shrink(most);
    shrink(slot.scratch);
  }
}

// ---- The query side ---------------------------------------------------------

namespace {

// Shorter starts are not stemmed (see prefix_query in analyzer.hpp).
constexpr std::size_t shortest_stemmed_prefix = 3;

// The wildcards of a pattern stand in as letters that no rule matches
// while the key is made: alphabetic (the filter keeps them), unchanged by
// lowercasing and transliteration, and no part of any Serbian word.
struct Wildcard {
  char pattern;
  std::string_view letter;
};
constexpr Wildcard WILDCARDS[] = {{'*', "\u01C2"}, {'?', "\u01C1"}};  // ǂ, ǁ

// The terms one typed start (or pattern) stands for, as the rule in
// analyzer.hpp makes them, in the analyzer's scratch: none that another of
// them starts (it would find nothing more).
struct Start {
  std::array<std::string_view, 3> terms;
  std::size_t count = 0;

  void add(std::string_view term) {
    if (term.empty()) return;
    for (std::size_t k = 0; k < count; ++k) {
      if (term.starts_with(terms[k])) return;
      if (terms[k].starts_with(term)) {
        terms[k] = term;
        return;
      }
    }
    terms[count++] = term;
  }
};

// `wildcards`: how many of its letters stand in for wildcards, which count
// for no letter of the start.
Start start_terms(Analyzer::Impl& impl, std::string_view written, std::size_t wildcards = 0) {
  std::string_view source;
  const std::string_view key = impl.bare_key(written, source);
  const std::string_view normal = impl.normal_form(source);
  Start start;
  if (!normal.empty() && char_count(normal) >= shortest_stemmed_prefix + wildcards) {
    start.add(key);
    // A start is seldom a word the lexicon knows, and its lemma may share
    // no beginning with the lemmas of the words it begins; their stems do.
    if (impl.options.lemmas) {
      const std::string_view stem = stem_word_into(source, impl.key_scratch);
      if (impl.options.fold && !stem.empty()) {
        fold_into(stem, impl.fold_scratch);
        start.add(impl.fold_scratch.view());
      } else {
        start.add(stem);
      }
    }
  }
  start.add(normal);
  return start;
}

// A pattern's text with each wildcard put back for its letter.
std::string_view with_wildcards(std::string_view text, Text& out) {
  out.clear();
  for (std::size_t at = 0; at < text.size();) {
    bool replaced = false;
    for (const Wildcard& wildcard : WILDCARDS) {
      if (text.substr(at).starts_with(wildcard.letter)) {
        out.push_back(wildcard.pattern);
        at += wildcard.letter.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(text[at++]);
  }
  return out.view();
}

}  // namespace

bool Analyzer::prefix_query(std::string_view query, FunctionRef<bool(const QueryTerm&)> sink, Utf8Input input) {
  Impl& impl = *impl_;
  const auto walk = [&]<Utf8Input Input>() {
    analysis::TokenScanner<Input> scanner(query);
    Token last;
    if (!scanner.next(last)) return true;
    for (Token next; scanner.next(next); last = next) {
      const std::string_view found = impl.key(last.text);
      if (!found.empty() && !sink(QueryTerm{found, last.bytes, false, false})) return false;
    }
    // The start of a word is never a stop word.
    const Start start = start_terms(impl, last.text);
    for (std::size_t k = 0; k < start.count; ++k) {
      if (!sink(QueryTerm{start.terms[k], last.bytes, true, k > 0})) return false;
    }
    return true;
  };
  return input == Utf8Input::lenient ? walk.template operator()<Utf8Input::lenient>()
                                     : walk.template operator()<Utf8Input::valid>();
}

void Analyzer::pattern_terms(std::string_view pattern, FunctionRef<bool(std::string_view)> sink) {
  Impl& impl = *impl_;
  // A trailing `*` makes the pattern the start of a word; wildcards before
  // it are letters while the key is made.
  const std::size_t body_size = pattern.find_last_not_of('*') + 1;  // npos + 1 is 0
  const bool prefix = body_size < pattern.size();
  Text lettered;
  std::size_t wildcards = 0;
  for (const char c : pattern.substr(0, body_size)) {
    const Wildcard* wildcard = std::ranges::find(WILDCARDS, c, &Wildcard::pattern);
    if (wildcard != std::end(WILDCARDS)) {
      lettered.append(wildcard->letter);
      ++wildcards;
    } else {
      lettered.push_back(c);
    }
  }
  if (!prefix && wildcards == 0) {  // a word
    const std::string_view found = impl.key(pattern);
    if (!found.empty()) sink(found);
    return;
  }
  const Start start = start_terms(impl, lettered.view(), wildcards);
  Text out;
  for (std::size_t k = 0; k < start.count; ++k) {
    with_wildcards(start.terms[k], out);
    if (prefix) out.push_back('*');
    if (!sink(out.view())) return;
  }
}

}  // namespace ardovel
