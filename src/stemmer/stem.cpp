#include "stemmer/stem.hpp"

#include "stemmer/affixes.hpp"
#include "stemmer/consonant.hpp"
#include "stemmer/normalise.hpp"
#include "unicode/text.hpp"

namespace ardovel {
namespace {

struct RecordingTrace {
  StemTrace& trace;
  void record(std::string_view form) { trace.forms.emplace_back(form); }
};

// Stages that rewrite the text alternate between two buffers, so a stage
// never writes over the form it is reading and no form is allocated on the
// heap for a short word.
class FormBuffers {
 public:
  Text& next() noexcept {
    Text& out = buffers_[next_];
    next_ ^= 1U;
    return out;
  }

 private:
  Text buffers_[2];
  unsigned next_ = 0;
};

// The traced pipeline: every stage on its own, each form recorded as the
// stages define. The production path (stem_word_into) computes the same
// last form without keeping the others.
template <class Recorder>
class Pipeline {
 public:
  explicit Pipeline(Recorder& recorder) : recorder_(recorder) {}

  std::string_view run(std::string_view input) {
    current_ = input;
    recorder_.record(input);
    // The guard looks at the raw bytes: only this exact spelling is kept.
    if (input == "IT") return current_;

    rewrite(lowercase);
    rewrite(transliterate_cyrillic);
    rewrite(reduce_ije);
    rewrite(filter_characters);

    if (const auto rest = strip_superlative(current_)) move_to(*rest);

    const ExceptionOutcome exception = lookup_exception(current_);
    if (exception.kind == ExceptionOutcome::Kind::replace_and_stop) {
      move_to(exception.stem);
      return current_;
    }
    if (exception.kind == ExceptionOutcome::Kind::stop) return current_;

    if (const auto rest = strip_suffix(current_)) move_to(*rest);

    rewrite(restore_final_consonant);
    return current_;
  }

 private:
  template <class Stage>
  void rewrite(Stage stage) {
    Text& out = buffers_.next();
    stage(current_, out);
    if (out.view() != current_) recorder_.record(out.view());
    current_ = out.view();
  }

  // Prefix, exception and suffix stages always record when they apply,
  // even when the new form is empty.
  void move_to(std::string_view form) {
    recorder_.record(form);
    current_ = form;
  }

  Recorder& recorder_;
  FormBuffers buffers_;
  std::string_view current_;
};

}  // namespace

std::string_view stem_word_into(std::string_view word, Text& scratch) {
  // The guard looks at the raw bytes: only this exact spelling is kept.
  if (word == "IT") return word;

  scratch.clear();
  char* const form = scratch.extend(normalised_capacity(word.size()));
  const std::size_t size = normalise_into(word, form);
  scratch.truncate(size);
  std::string_view current(form, size);

  if (const auto rest = strip_superlative(current)) current = *rest;

  const ExceptionOutcome exception = lookup_exception(current);
  if (exception.kind == ExceptionOutcome::Kind::replace_and_stop) return exception.stem;
  if (exception.kind == ExceptionOutcome::Kind::stop) return current;

  if (const auto rest = strip_suffix(current)) current = *rest;

  // `current` lies inside `scratch`, which the restoration may edit.
  return restore_final_consonant_in_place(form + (current.data() - form), current.size());
}

std::string stem_word(const char* data, std::size_t size) {
  Text scratch;
  return std::string(stem_word_into(std::string_view(data, size), scratch));
}

std::string stem_word(std::string_view word) { return stem_word(word.data(), word.size()); }

std::string stem_word(std::string_view word, StemTrace& trace) {
  trace.forms.clear();
  RecordingTrace recorder{trace};
  Pipeline<RecordingTrace> pipeline(recorder);
  (void)pipeline.run(word);
  return trace.forms.back();
}

}  // namespace ardovel
