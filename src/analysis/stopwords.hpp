// Stop words: tokens an analyzer leaves out.
//
// A token is a stop word when its normalised form (normalise.hpp) equals the
// normalised form of an entry, so one Latin entry "su" also stops «СУ», «Су»
// and «SU», and an ijekavian entry stops its ekavian spelling. The set keeps
// only normalised forms; an entry whose normalised form is empty is ignored
// (such a token has an empty stem and is left out anyway).
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

namespace ardovel::analysis {

// The project's default list, as written in serbian_stopwords.txt (Latin
// script, lower case), in that file's order. Constant data.
[[nodiscard]] std::span<const std::string_view> serbian_stopword_list() noexcept;

// An immutable set of normalised forms. Copies share one table, so a set can
// be handed to many analyzers and threads; looking up allocates nothing.
class StopWords {
 public:
  // The empty set: nothing is a stop word.
  StopWords() noexcept = default;

  // The default Serbian list, from constant data compiled into the library
  // (no allocation, no table built at run time).
  [[nodiscard]] static StopWords serbian() noexcept;

  // A set of the given words, each valid UTF-8 in any script and case.
  // Only std::bad_alloc can escape.
  [[nodiscard]] static StopWords from_words(std::span<const std::string_view> words);

  // Whether `normalised`, already a normalised form, is in the set.
  [[nodiscard]] bool contains_normalised(std::string_view normalised) const noexcept;

  [[nodiscard]] bool empty() const noexcept { return count_ == 0; }
  [[nodiscard]] std::size_t size() const noexcept { return count_; }
  // No normalised form longer than this (in bytes) is in the set.
  [[nodiscard]] std::size_t longest() const noexcept { return longest_; }

 private:
  struct Storage;
  StopWords(const std::string_view* slots, std::size_t slot_count, std::size_t count, std::size_t longest,
            std::shared_ptr<const Storage> storage) noexcept
      : slots_(slots), mask_(slot_count - 1), count_(count), longest_(longest), storage_(std::move(storage)) {}

  // See stopword_table.hpp.
  const std::string_view* slots_ = nullptr;
  std::size_t mask_ = 0;
  std::size_t count_ = 0;
  std::size_t longest_ = 0;
  std::shared_ptr<const Storage> storage_;  // null for constant data
};

}  // namespace ardovel::analysis
