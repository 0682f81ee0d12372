#include "stemmer/stem.hpp"

#include <string>

#include "ardovel/text.hpp"
#include "stemmer/affixes.hpp"
#include "stemmer/consonant.hpp"
#include "stemmer/normalise.hpp"

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

// The four normalisation stages (lowercase, transliterate, reduce "ije",
// filter) as one pass into `scratch`.
class FusedNormalisation {
 public:
  explicit FusedNormalisation(Text& scratch) noexcept : scratch_(scratch) {}

  EditableForm operator()(std::string_view word) {
    scratch_.clear();
    char* const form = scratch_.extend(normalised_capacity(word.size()));
    const std::size_t size = normalise_into(word, form);
    scratch_.truncate(size);
    return {form, size};
  }

 private:
  Text& scratch_;
};

// For a word of megabytes: the same pass in pieces,
// with the host asked between them. An abandoned pass gives an empty form,
// which the later stages pass through at no cost.
class InterruptibleNormalisation {
 public:
  InterruptibleNormalisation(Text& scratch, const Interruption& interruption) noexcept
      : scratch_(scratch), interruption_(interruption) {}

  EditableForm operator()(std::string_view word) {
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

// The stages in their order, for both ways of normalising. The answer is
// the last form a stage made (the input when none changed it). Always
// inlined, so that the production path pays no call for the spine.
template <class Normalisation>
[[gnu::always_inline]] inline std::string_view run_stages(std::string_view word, Normalisation& normalise) {
  // The guard looks at the raw bytes: only this exact spelling is kept.
  if (same_bytes(word, "IT")) return word;

  const EditableForm normalised = normalise(word);
  std::string_view form = normalised.view();

  if (const auto rest = strip_superlative(form)) form = *rest;

  const ExceptionOutcome exception = lookup_exception(form);
  if (exception.kind == ExceptionOutcome::Kind::replace_and_stop) return exception.stem;
  if (exception.kind == ExceptionOutcome::Kind::stop) return form;

  if (const auto rest = strip_suffix(form)) form = *rest;

  // `form` lies inside the normalised text, which this stage may edit.
  return restore_final_consonant_in_place(normalised.at(form), form.size());
}

}  // namespace

std::string_view stem_word_into(std::string_view word, Text& scratch) {
  FusedNormalisation normalise(scratch);
  return run_stages(word, normalise);
}

std::optional<std::string_view> stem_word_into(std::string_view word, Text& scratch,
                                               const Interruption& interruption) {
  if (word.size() < interruptible_piece || !interruption) return stem_word_into(word, scratch);
  InterruptibleNormalisation normalise(scratch, interruption);
  const std::string_view stem = run_stages(word, normalise);
  if (normalise.interrupted()) return std::nullopt;
  return stem;
}

std::string_view Stemmer::stem(std::string_view word) { return stem_word_into(word, scratch_); }

std::optional<std::string_view> Stemmer::stem(std::string_view word, const Interruption& interruption) {
  return stem_word_into(word, scratch_, interruption);
}

std::string stem_word(std::string_view word) {
  Text scratch;
  return std::string(stem_word_into(word, scratch));
}

}  // namespace ardovel
