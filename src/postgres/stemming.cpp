#include "postgres/stemming.hpp"

#include <new>
#include <utility>
#include <string_view>
#include <vector>

#include "analysis/analyzer.hpp"
#include "analysis/stopwords.hpp"
#include "stemmer/stem.hpp"
#include "unicode/text.hpp"

namespace ardovel::postgres {

class Dictionary {
 public:
  explicit Dictionary(analysis::StopWords stop_words) noexcept : analyzer_(std::move(stop_words)) {}
  analysis::Analyzer& analyzer() noexcept { return analyzer_; }

 private:
  analysis::Analyzer analyzer_;
};

namespace {

// Runs `work` and turns whatever it throws into a status.
template <class Work>
Status guarded(Work&& work) noexcept {
  try {
    work();
    return Status::ok;
  } catch (const std::bad_alloc&) {
    return Status::out_of_memory;
  } catch (...) {
    return Status::failed;
  }
}

Stem stem_of(std::string_view view) noexcept { return {view.data(), view.size()}; }

}  // namespace

Status make_dictionary(const char* const* words, std::size_t count, Dictionary** made) noexcept {
  *made = nullptr;
  return guarded([&] {
    analysis::StopWords stop_words;
    if (count > 0) {
      const std::vector<std::string_view> list(words, words + count);
      stop_words = analysis::StopWords::from_words(list);
    }
    *made = new Dictionary(std::move(stop_words));
  });
}

void destroy_dictionary(Dictionary* dictionary) noexcept { delete dictionary; }

Status dictionary_stem(Dictionary& dictionary, const char* token, std::size_t size, Stem& stem) noexcept {
  return guarded([&] { stem = stem_of(dictionary.analyzer().stem_token({token, size})); });
}

Status stem_word(const char* word, std::size_t size, Stem& stem) noexcept {
  // A backend is one thread; the scratch only grows past its inline room
  // for a word longer than any before it.
  static Text scratch;
  return guarded([&] { stem = stem_of(stem_word_into({word, size}, scratch)); });
}

}  // namespace ardovel::postgres
