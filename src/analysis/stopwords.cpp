
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/serbian_stopword_table.hpp"
#include "analysis/stopword_table.hpp"
#include "ardovel/analyzer.hpp"
#include "ardovel/text.hpp"
#include "stemmer/normalise.hpp"

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

StopWords StopWords::from_words(std::span<const std::string_view> words) {
  // First the distinct forms, then one block for their bytes, so the
  // table's views never move.
  std::vector<std::string> forms;
  forms.reserve(words.size());
  std::size_t total = 0;
  Text scratch;
  for (const std::string_view word : words) {
    scratch.clear();
    char* const out = scratch.extend(normalised_capacity(word.size()));
    scratch.truncate(normalise_into(word, out));
    if (scratch.empty()) continue;
    forms.emplace_back(scratch.view());
    total += scratch.size();
  }
  if (forms.empty()) return StopWords();

  auto storage = std::make_shared<Storage>();
  storage->bytes = std::make_unique<char[]>(total);
  storage->slots.resize(stopword_table::slot_count(forms.size()));
  const std::size_t mask = storage->slots.size() - 1;
  std::size_t count = 0;
  std::size_t longest = 0;
  char* next = storage->bytes.get();
  for (const std::string& form : forms) {
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

bool StopWords::contains_normalised(std::string_view normalised) const noexcept {
  if (normalised.empty() || normalised.size() > longest_) return false;
  return stopword_table::contains(slots_, mask_, normalised);
}

}  // namespace ardovel
