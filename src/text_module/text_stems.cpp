#include "text_module/text_stems.hpp"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include <sys/mman.h>

#include "analysis/analyzer.hpp"

namespace ardovel::text_module {
namespace {

constexpr std::size_t first_slot_count = 256;

// Stems are looked up this many at a time, each batch's slots fetched this
// far ahead of their use: enough misses in flight to hide most of their wait.
constexpr std::size_t batch_size = 256;
constexpr std::size_t prefetch_distance = 16;

constexpr std::uint64_t mix(std::uint64_t h) noexcept {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDULL;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ULL;
  h ^= h >> 33;
  return h;
}

// Stems waiting for their lookup: copied, since a term's stem lives only
// until the analyzer's next token.
class Batch {
 public:
  void push(std::string_view stem) {
    bytes_.append(stem);
    ends_.push_back(bytes_.size());
  }
  [[nodiscard]] bool full() const noexcept { return ends_.size() == batch_size; }

  void look_up(StemSet& stems, std::vector<std::uint32_t>& numbers) {
    keys_.clear();
    std::size_t begin = 0;
    for (const std::size_t end : ends_) {
      keys_.push_back(StemSet::key_of(std::string_view(bytes_).substr(begin, end - begin)));
      begin = end;
    }
    for (std::size_t i = 0; i < std::min(prefetch_distance, keys_.size()); ++i) stems.prefetch(keys_[i]);
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      if (i + prefetch_distance < keys_.size()) stems.prefetch(keys_[i + prefetch_distance]);
      numbers.push_back(stems.add(keys_[i]));
    }
    bytes_.clear();
    ends_.clear();
  }

 private:
  std::string bytes_;
  std::vector<std::size_t> ends_;
  std::vector<StemSet::Key> keys_;
};

}  // namespace

StemSet::Key StemSet::key_of(std::string_view stem) noexcept {
  Key key{0, {0, 0}, stem};
  std::memcpy(key.head, stem.data(), std::min(stem.size(), sizeof key.head));
  std::uint64_t h = mix(key.head[0] ^ (stem.size() * 0x9E3779B97F4A7C15ULL)) ^ key.head[1];
  if (stem.size() > sizeof key.head) h ^= std::hash<std::string_view>{}(stem.substr(sizeof key.head));
  key.hash = mix(h);
  return key;
}

void StemSet::prefetch(const Key& key) const noexcept {
  if (!slots_.empty()) __builtin_prefetch(&slots_[key.hash >> shift_]);
}

bool StemSet::holds(const Slot& slot, const Key& key) const noexcept {
  if (slot.hash_high != key.hash >> 32 || slot.size != key.stem.size() || slot.head[0] != key.head[0] ||
      slot.head[1] != key.head[1]) {
    return false;
  }
  return key.stem.size() <= sizeof key.head || (*this)[slot.number_plus_one - 1] == key.stem;
}

std::uint32_t StemSet::add(const Key& key) {
  if (4 * (ends_.size() + 1) > 3 * slots_.size()) grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = key.hash >> shift_;; at = (at + 1) & mask) {
    Slot& slot = slots_[at];
    if (slot.number_plus_one == 0) {
      // The number and the size must fit the slot (a stem is at most a few
      // bytes longer than its token, which may be a whole text).
      if (ends_.size() >= std::numeric_limits<std::uint32_t>::max() - 1 ||
          key.stem.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::bad_alloc();
      }
      bytes_.append(key.stem);
      ends_.push_back(bytes_.size());
      slot = {static_cast<std::uint32_t>(key.hash >> 32), 1, {key.head[0], key.head[1]},
              static_cast<std::uint32_t>(key.stem.size()), static_cast<std::uint32_t>(ends_.size())};
      return slot.number_plus_one - 1;
    }
    if (holds(slot, key)) {
      if (slot.uses == std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
      ++slot.uses;
      return slot.number_plus_one - 1;
    }
  }
}

StemSet::Slots::Slots(std::size_t count) : count_(count) {
  constexpr std::size_t huge_page = std::size_t{2} << 20;
  std::size_t bytes = count * sizeof(Slot);
  const bool huge = bytes >= huge_page;
  if (huge) bytes = (bytes + huge_page - 1) / huge_page * huge_page;
  void* block = std::aligned_alloc(huge ? huge_page : alignof(Slot), bytes);
  if (block == nullptr) throw std::bad_alloc();
  // Only advice: where huge pages are not to be had, small ones serve.
  if (huge) madvise(block, bytes, MADV_HUGEPAGE);
  std::memset(block, 0, bytes);
  block_.reset(static_cast<Slot*>(block));
}

void StemSet::Slots::Free::operator()(Slot* block) const noexcept { std::free(block); }

// The old slots are visited in order, and their homes in the new table come
// in the same order, so both tables are walked front to back.
void StemSet::grow() {
  const std::size_t count = slots_.empty() ? first_slot_count : 2 * slots_.size();
  // Home slots come from the hash's upper half alone.
  if (count > (std::size_t{1} << 32)) throw std::bad_alloc();
  Slots grown(count);
  const int shift = 64 - std::countr_zero(count);
  const std::size_t mask = count - 1;
  for (const Slot& slot : slots_) {
    if (slot.number_plus_one == 0) continue;
    std::size_t at = slot.hash_high >> (shift - 32);
    while (grown[at].number_plus_one != 0) at = (at + 1) & mask;
    grown[at] = slot;
  }
  slots_ = std::move(grown);
  shift_ = shift;
}

struct StemCollector::State {
  State(const analysis::StopWords& stop_words, Offsets offsets) : analyzer(stop_words), offsets(offsets) {}
  analysis::Analyzer analyzer;
  Offsets offsets;
  Batch batch;
  TextStems found;
};

StemCollector::StemCollector(const analysis::StopWords& stop_words, Offsets offsets, std::size_t expected_bytes)
    : state_(std::make_unique<State>(stop_words, offsets)) {
  // Serbian running text has a token for every six bytes or more.
  const std::size_t tokens = expected_bytes / 6;
  state_->found.numbers.reserve(tokens);
  if (offsets == Offsets::keep) state_->found.chars.reserve(tokens);
}

StemCollector::~StemCollector() = default;

void StemCollector::add(std::string_view piece, std::size_t first_char) {
  State& state = *state_;
  state.analyzer.analyze(piece, [&](const analysis::Term& term) {
    if (state.offsets == Offsets::keep) {
      state.found.chars.push_back({first_char + term.token.chars.begin, first_char + term.token.chars.end});
    }
    state.batch.push(term.stem);
    if (state.batch.full()) state.batch.look_up(state.found.stems, state.found.numbers);
  });
}

TextStems StemCollector::finish() {
  state_->batch.look_up(state_->found.stems, state_->found.numbers);
  return std::move(state_->found);
}

}  // namespace ardovel::text_module
