#include "postgres/stemming.hpp"

#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/analyzer.hpp"
#include "analysis/stopwords.hpp"
#include "stemmer/normalise.hpp"
#include "stemmer/stem.hpp"
#include "unicode/text.hpp"

namespace ardovel::postgres {

// What a dictionary keeps of its scratch after a call, at most.
constexpr std::size_t kept_scratch_bytes = std::size_t{4} << 20;

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
    return work();
  } catch (const std::bad_alloc&) {
    return Status::out_of_memory;
  } catch (...) {
    return Status::failed;
  }
}

// No stem is longer than its word's normalised form, for which stem_room
// leaves room.
Status put(std::string_view stem, StemBuffer& out) noexcept {
  if (stem.size() > out.room) return Status::failed;
  if (!stem.empty()) std::memcpy(out.data, stem.data(), stem.size());
  out.size = stem.size();
  return Status::ok;
}

}  // namespace

std::size_t stem_room(std::size_t size) noexcept { return normalised_capacity(size); }

Status make_dictionary(const char* const* words, std::size_t count, Dictionary** made) noexcept {
  *made = nullptr;
  return guarded([&] {
    analysis::StopWords stop_words;
    if (count > 0) {
      const std::vector<std::string_view> list(words, words + count);
      stop_words = analysis::StopWords::from_words(list);
    }
    *made = new Dictionary(std::move(stop_words));
    return Status::ok;
  });
}

void destroy_dictionary(Dictionary* dictionary) noexcept { delete dictionary; }

Status dictionary_stem(Dictionary& dictionary, const char* token, std::size_t size, const Interruption& interruption,
                       StemBuffer& stem) noexcept {
  analysis::Analyzer& analyzer = dictionary.analyzer();
  const Status status = guarded([&] {
    analyzer.set_interruption(interruption);
    const std::string_view found = analyzer.stem_token({token, size});
    return analyzer.interrupted() ? Status::interrupted : put(found, stem);
  });
  analyzer.shrink_scratch(kept_scratch_bytes);
  return status;
}

Status stem_word(const char* word, std::size_t size, const Interruption& interruption, StemBuffer& stem) noexcept {
  return guarded([&] {
    Text scratch;  // on the heap only for a long word, and only for this call
    const std::optional<std::string_view> found = stem_word_into({word, size}, scratch, interruption);
    return found ? put(*found, stem) : Status::interrupted;
  });
}

}  // namespace ardovel::postgres
