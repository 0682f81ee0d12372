
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/serbian_stopword_table.hpp"
#include "analysis/stopword_table.hpp"
#include "lexicon/lemma.hpp"
#include "ardovel/analyzer.hpp"
#include "ardovel/text.hpp"
#include "stemmer/normalise.hpp"
#include "unicode/normalization.hpp"

namespace ardovel {

namespace data = analysis::serbian_stopword_data;
namespace stopword_table = analysis::stopword_table;

// The bytes of every normalised form end to end, and the slots viewing them.
struct StopWords::Storage {
  std::unique_ptr<char[]> bytes;
  std::vector<std::string_view> slots;
};

std::span<const std::string_view> StopWords::serbian_words() noexcept { return data::WORDS; }

StopWords StopWords::serbian() noexcept {
  return StopWords(data::SLOTS, std::size(data::SLOTS), data::NORMALISED_COUNT, data::LONGEST, nullptr);
}

StopWords StopWords::from_normalised(const std::vector<std::string>& forms) {
  // One block for the bytes of every form, so the table's views never move.
  std::size_t total = 0;
  for (const std::string& form : forms) total += form.size();
  if (forms.empty()) return StopWords();
  auto storage = std::make_shared<Storage>();
  storage->bytes = std::make_unique<char[]>(total);
  storage->slots.resize(stopword_table::slot_count(forms.size()));
  const std::size_t mask = storage->slots.size() - 1;
  std::size_t count = 0;
  std::size_t longest = 0;
  char* next = storage->bytes.get();
  for (const std::string& form : forms) {
    if (form.empty()) continue;
    std::memcpy(next, form.data(), form.size());
    if (stopword_table::insert(storage->slots, mask, std::string_view(next, form.size()))) {
      ++count;
      next += form.size();
      if (form.size() > longest) longest = form.size();
    }
  }
  const std::string_view* slots = storage->slots.data();
  const std::size_t slot_count = storage->slots.size();
  return StopWords(slots, slot_count, count, longest, std::move(storage));
}

StopWords StopWords::from_words(std::span<const std::string_view> words) {
  std::vector<std::string> forms;
  forms.reserve(words.size());
  Text scratch;
  Text equivalent;
  for (const std::string_view written : words) {
    const std::string_view word = nfkc(written, equivalent);  // as the analyzer reads tokens
    scratch.clear();
    char* const out = scratch.extend(normalised_capacity(word.size()));
    scratch.truncate(normalise_into(word, out));
    forms.emplace_back(scratch.view());
  }
  return from_normalised(forms);
}

StopWords StopWords::with_bald_forms() const {
  const auto make = [this] {
    std::vector<std::string> forms;
    Text bald;
    for (std::size_t slot = 0; count_ != 0 && slot <= mask_; ++slot) {
      if (slots_[slot].empty()) continue;
      forms.emplace_back(slots_[slot]);
      fold_into(slots_[slot], bald);
      forms.emplace_back(bald.view());
    }
    return from_normalised(forms);
  };
  // The default list's is made once, not for every analyzer that folds.
  if (storage_ == nullptr && slots_ == data::SLOTS) {
    static const StopWords serbian_bald = make();
    return serbian_bald;
  }
  return make();
}

bool StopWords::contains_normalised(std::string_view normalised) const noexcept {
  if (normalised.empty() || normalised.size() > longest_) return false;
  return stopword_table::contains(slots_, mask_, normalised);
}

}  // namespace ardovel
