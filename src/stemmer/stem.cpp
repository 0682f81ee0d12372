#include "stemmer/stem.hpp"

#include <initializer_list>
#include <string>

#include "stemmer/affixes.hpp"
#include "stemmer/consonant.hpp"
#include "stemmer/normalise.hpp"
#include "unicode/text.hpp"

namespace ardovel {
namespace {

// The normalised text, which the later stages narrow and edit where it lies.
struct EditableForm {
  char* data;
  std::size_t size;

  [[nodiscard]] std::string_view view() const noexcept { return {data, size}; }
  // The same bytes as `part`, which lies inside this text, but writable.
  [[nodiscard]] char* at(std::string_view part) const noexcept { return data + (part.data() - data); }
};

// ---- Recorders: what a run keeps of the forms between input and stem ------

// A stage that edits the form where it lies is run through `edited`: only
// a recorder that must tell a change from no change keeps the form it
// started from.

struct RecordNothing {
  void record(std::string_view) const noexcept {}

  template <class Edit>
  std::string_view edited(std::string_view, Edit edit) const noexcept {
    return edit();
  }
};

struct RecordIntoTrace {
  StemTrace& trace;

  void record(std::string_view form) { trace.forms.emplace_back(form); }

  template <class Edit>
  std::string_view edited(std::string_view form, Edit edit) {
    const std::string before(form);
    const std::string_view after = edit();
    if (after != before) record(after);
    return after;
  }
};

// ---- Normalisation: lowercase, transliterate, reduce "ije", filter ---------

// The production step: the four stages as one pass into `scratch`. Only the
// last form is ever made, so only a run that records nothing can use it.
class FusedNormalisation {
 public:
  explicit FusedNormalisation(Text& scratch) noexcept : scratch_(scratch) {}

  EditableForm operator()(std::string_view word, RecordNothing) {
    scratch_.clear();
    char* const form = scratch_.extend(normalised_capacity(word.size()));
    const std::size_t size = normalise_into(word, form);
    scratch_.truncate(size);
    return {form, size};
  }

 private:
  Text& scratch_;
};

// The production step for a word of megabytes: the same pass in pieces,
// with the host asked between them. An abandoned pass gives an empty form,
// which the later stages pass through at no cost.
class InterruptibleNormalisation {
 public:
  InterruptibleNormalisation(Text& scratch, const Interruption& interruption) noexcept
      : scratch_(scratch), interruption_(interruption) {}

  EditableForm operator()(std::string_view word, RecordNothing) {
    scratch_.clear();
    char* const form = scratch_.extend(normalised_capacity(word.size()));
    const std::optional<std::size_t> size = normalise_into(word, form, interruption_);
    interrupted_ = !size;
    scratch_.truncate(size.value_or(0));
    return {form, size.value_or(0)};
  }
  [[nodiscard]] bool interrupted() const noexcept { return interrupted_; }

 private:
  Text& scratch_;
  const Interruption& interruption_;
  bool interrupted_ = false;
};

// The traced step: every stage on its own, each form it changes recorded.
// The stages alternate between two buffers, so a stage never writes over
// the form it is reading and no form is allocated on the heap for a short
// word.
class StagewiseNormalisation {
 public:
  template <class Recorder>
  EditableForm operator()(std::string_view word, Recorder& recorder) {
    std::string_view form = word;
    Text* out = nullptr;
    for (const auto stage : {lowercase, transliterate_cyrillic, reduce_ije, filter_characters}) {
      out = &buffers_[next_];
      next_ ^= 1U;
      stage(form, *out);
      if (out->view() != form) recorder.record(out->view());
      form = out->view();
    }
    return {out->data(), out->size()};
  }

 private:
  Text buffers_[2];
  unsigned next_ = 0;
};

// The stages in their order, for both paths: the production path
// instantiates it with the fused normalisation and a recorder that records
// nothing, the traced path with the separate stages and the trace. The
// answer is the last form recorded (the input when no stage changed it).
// Always inlined, so that the production path pays no call for the spine
// and the empty recorder leaves no trace in its code, with or without
// link-time optimisation.
template <class Normalisation, class Recorder>
[[gnu::always_inline]] inline std::string_view run_stages(std::string_view word, Normalisation& normalise,
                                                          Recorder& recorder) {
  recorder.record(word);
  // The guard looks at the raw bytes: only this exact spelling is kept.
  if (word == "IT") return word;

  const EditableForm normalised = normalise(word, recorder);
  std::string_view form = normalised.view();

  // The prefix, exception and suffix stages record whenever they apply, even
  // when the new form is empty.
  const auto applied = [&recorder](std::string_view next) {
    recorder.record(next);
    return next;
  };

  if (const auto rest = strip_superlative(form)) form = applied(*rest);

  const ExceptionOutcome exception = lookup_exception(form);
  if (exception.kind == ExceptionOutcome::Kind::replace_and_stop) return applied(exception.stem);
  if (exception.kind == ExceptionOutcome::Kind::stop) return form;

  if (const auto rest = strip_suffix(form)) form = applied(*rest);

  // `form` lies inside the normalised text, which this stage may edit.
  return recorder.edited(form, [&] { return restore_final_consonant_in_place(normalised.at(form), form.size()); });
}

}  // namespace

std::string_view stem_word_into(std::string_view word, Text& scratch) {
  FusedNormalisation normalise(scratch);
  RecordNothing recorder;
  return run_stages(word, normalise, recorder);
}

std::optional<std::string_view> stem_word_into(std::string_view word, Text& scratch,
                                               const Interruption& interruption) {
  if (word.size() < interruptible_piece || !interruption) return stem_word_into(word, scratch);
  InterruptibleNormalisation normalise(scratch, interruption);
  RecordNothing recorder;
  const std::string_view stem = run_stages(word, normalise, recorder);
  if (normalise.interrupted()) return std::nullopt;
  return stem;
}

std::string stem_word(const char* data, std::size_t size) {
  Text scratch;
  return std::string(stem_word_into(std::string_view(data, size), scratch));
}

std::string stem_word(std::string_view word) { return stem_word(word.data(), word.size()); }

std::string stem_word(std::string_view word, StemTrace& trace) {
  trace.forms.clear();
  StagewiseNormalisation normalise;
  RecordIntoTrace recorder{trace};
  (void)run_stages(word, normalise, recorder);
  return trace.forms.back();
}

}  // namespace ardovel
