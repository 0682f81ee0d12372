#include "ardovel/keys.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <vector>

#include "analysis/analyzer_impl.hpp"

namespace ardovel {
namespace {

// About this many tokens to a bucket: its table and the keys it has seen
// stay in the processor's nearest caches.
constexpr std::size_t tokens_per_bucket = 1024;
constexpr int most_bucket_bits = 16;
// Entries are fetched this far ahead of their turn.
constexpr std::size_t prefetch_distance = 16;

// GCC drops __builtin_prefetch from code it optimises at link time, so on
// x86-64 the instruction is written out.
// The address is passed in a register: a prefetch never faults, and may be
// given the end of an array.
inline void prefetch_line(const void* address) noexcept {
#if defined(__x86_64__)
  asm volatile("prefetcht0 (%0)" : : "r"(address));
#else
  __builtin_prefetch(address);
#endif
}

constexpr std::uint64_t mix(std::uint64_t h) noexcept {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDULL;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ULL;
  h ^= h >> 33;
  return h;
}

// The first `size` (at most eight) bytes at `bytes`, first byte lowest,
// zero-padded, read without a call to memcpy and without reading past them.
std::uint64_t load_padded(const char* bytes, std::size_t size) noexcept {
  const auto byte = [&](std::size_t at) { return std::uint64_t{static_cast<unsigned char>(bytes[at])} << (8 * at); };
  if constexpr (std::endian::native != std::endian::little) {
    std::uint64_t word = 0;
    for (std::size_t at = 0; at < size; ++at) word |= byte(at);
    return word;
  }
  if (size >= 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
  }
  if (size >= 4) {
    std::uint32_t low;
    std::uint32_t high;
    std::memcpy(&low, bytes, 4);
    std::memcpy(&high, bytes + size - 4, 4);
    return low | std::uint64_t{high} << (8 * (size - 4));
  }
  if (size == 0) return 0;
  return byte(0) | byte(size / 2) | byte(size - 1);
}

// A kept token's key as the buckets see it: small, since a text has one
// per token. Equal hashes and sizes are confirmed against the keys
// themselves, which have been fetched ahead by then.
struct Entry {
  Entry(std::string_view key, std::uint32_t offset) noexcept
      : offset(offset), size(static_cast<std::uint32_t>(key.size())) {
    const std::size_t head_size = std::min<std::size_t>(key.size(), 8);
    std::uint64_t h = mix(load_padded(key.data(), head_size) ^ (key.size() * 0x9E3779B97F4A7C15ULL));
    if (key.size() > 8) {
      h ^= load_padded(key.data() + 8, std::min<std::size_t>(key.size() - 8, 8));
      if (key.size() > 16) h ^= std::hash<std::string_view>{}(key.substr(16));
    }
    hash = mix(h);
  }
  std::uint64_t hash = 0;
  std::uint32_t offset;  // where the key starts among all the keys
  std::uint32_t size;
};

}  // namespace

struct KeyCollector::State {
  State(const AnalyzerOptions& options, Offsets offsets, std::size_t most)
      : analyzer(options), offsets(offsets), most(most) {}

  bool keep(std::string_view key) {
    BlockArray<char>& bytes = all_keys;
    if (bytes.size() + key.size() > most || entries.size() >= most) {
      stop = Stop::too_large;
      return false;
    }
    entries.emplace_back(key, static_cast<std::uint32_t>(bytes.size()));
    bytes.append(key.data(), key.size());
    return true;
  }

  [[nodiscard]] bool same_key(const Entry& a, const Entry& b) const noexcept {
    if (a.hash != b.hash || a.size != b.size) return false;
    const char* const first = all_keys.data() + a.offset;
    const char* const second = all_keys.data() + b.offset;
    // Nearly all keys are short enough for two words each, compared in
    // place rather than by a call.
    if (a.size <= 16) {
      const std::size_t low = std::min<std::size_t>(a.size, 8);
      return load_padded(first, low) == load_padded(second, low) &&
             load_padded(first + low, a.size - low) == load_padded(second + low, a.size - low);
    }
    return std::memcmp(first, second, a.size) == 0;
  }

  // Gives every entry the number of its key.
  void number_keys();

  Analyzer::Impl analyzer;
  Offsets offsets;
  std::size_t most;
  Stop stop = Stop::none;
  BlockArray<Entry> entries;  // each kept token's, in text order
  BlockArray<char> all_keys;  // each kept token's key, end to end, in text order
  TextKeys found;
};

// The entries are put in order of their bucket (by counting), then each
// bucket is settled with a hash table of its own, which holds indices into
// the keys the bucket has seen so far. A bucket's numbers are consecutive,
// so its uses and places are at hand too. The distinct keys are copied
// out in number order, for the result objects to be made from in order.
void KeyCollector::State::number_keys() {
  const std::size_t count = entries.size();
  found.numbers.assign_zeros(count);
  if (count == 0) return;
  // At most one distinct key per token; room never touched costs nothing.
  found.keys.places_.reserve(count);
  found.keys.bytes_.reserve(all_keys.size());
  found.uses.reserve(count);
  const int bits = std::min(most_bucket_bits, static_cast<int>(std::bit_width(count / tokens_per_bucket)));
  const auto bucket_of = [bits](const Entry& entry) -> std::size_t {
    return bits == 0 ? 0 : static_cast<std::size_t>(entry.hash >> (64 - bits));
  };
  const std::size_t bucket_count = std::size_t{1} << bits;

  std::vector<std::uint32_t> starts(bucket_count + 1, 0);
  for (const Entry& entry : entries) ++starts[bucket_of(entry) + 1];
  for (std::size_t bucket = 0; bucket < bucket_count; ++bucket) starts[bucket + 1] += starts[bucket];
  BlockArray<std::uint32_t> order;
  order.assign_zeros(count);
  {
    std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
    for (std::size_t index = 0; index < count; ++index) {
      order[next[bucket_of(entries[index])]++] = static_cast<std::uint32_t>(index);
    }
  }

  std::vector<std::uint32_t> table;  // a seen key's index plus one, or 0
  std::vector<const Entry*> seen;
  for (std::size_t bucket = 0; bucket < bucket_count; ++bucket) {
    const std::size_t begin = starts[bucket];
    const std::size_t end = starts[bucket + 1];
    const std::size_t slots = std::bit_ceil(std::max<std::size_t>(16, 2 * (end - begin)));
    table.assign(slots, 0);
    seen.clear();
    const std::size_t first_number = found.keys.places_.size();
    for (std::size_t at = begin; at < end; ++at) {
      // The entry is fetched first, and then, once it is at hand, its key.
      if (at + 2 * prefetch_distance < end) prefetch_line(&entries[order[at + 2 * prefetch_distance]]);
      if (at + prefetch_distance < end) prefetch_line(all_keys.data() + entries[order[at + prefetch_distance]].offset);
      const std::uint32_t index = order[at];
      const Entry& entry = entries[index];
      std::size_t number;
      for (std::size_t slot = entry.hash & (slots - 1);; slot = (slot + 1) & (slots - 1)) {
        const std::uint32_t held = table[slot];
        if (held == 0) {
          number = found.keys.places_.size();
          table[slot] = static_cast<std::uint32_t>(seen.size() + 1);
          seen.push_back(&entry);
          found.keys.places_.push_back({static_cast<std::uint32_t>(found.keys.bytes_.size()), entry.size});
          found.keys.bytes_.append(all_keys.data() + entry.offset, entry.size);
          found.uses.push_back(1);
          break;
        }
        if (same_key(*seen[held - 1], entry)) {
          number = first_number + held - 1;
          ++found.uses[number];
          break;
        }
      }
      found.numbers[index] = static_cast<std::uint32_t>(number);
    }
  }
}

KeyCollector::KeyCollector(const AnalyzerOptions& options, Offsets offsets, std::size_t expected_bytes,
                           Interruption interruption, std::size_t most)
    : state_(std::make_unique<State>(options, offsets, most)) {
  state_->analyzer.interruption = interruption;
  // Serbian running text has a token for every six bytes or more.
  const std::size_t tokens = expected_bytes / 6;
  state_->entries.reserve(tokens);
  state_->all_keys.reserve(expected_bytes);
  if (offsets == Offsets::keep) state_->found.chars.reserve(tokens);
}

KeyCollector::~KeyCollector() = default;

bool KeyCollector::add(std::string_view piece, std::size_t first_char) {
  State& state = *state_;
  const bool finished = state.analyzer.analyze<Utf8Input::valid>(piece, [&](const Term& term) {
    if (state.offsets == Offsets::keep) {
      state.found.chars.push_back({first_char + term.token.chars.begin, first_char + term.token.chars.end});
    }
    return state.keep(term.key);
  });
  if (state.analyzer.interrupted) state.stop = Stop::interrupted;
  return finished;
}

KeyCollector::Stop KeyCollector::stop() const noexcept { return state_->stop; }

TextKeys KeyCollector::finish() {
  state_->number_keys();
  return std::move(state_->found);
}

}  // namespace ardovel
