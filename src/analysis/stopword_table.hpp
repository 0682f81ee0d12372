// The layout of a stop-word table, shared by StopWords and by the tool that
// writes the default table at build time: open addressing over a
// power-of-two count of slots, at most half of them used, an empty view
// marking a free slot, linear probing from hash & mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ardovel::analysis::stopword_table {

[[nodiscard]] constexpr std::uint64_t hash(std::string_view bytes) noexcept {
  std::uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a: stop words are short
  for (const char byte : bytes) h = (h ^ static_cast<unsigned char>(byte)) * 0x100000001B3ULL;
  return h ^ (h >> 29);
}

// Slots for `count` entries: a power of two, at least twice the count, so a
// probe always meets a free slot.
[[nodiscard]] constexpr std::size_t slot_count(std::size_t count) noexcept {
  std::size_t slots = 8;
  while (slots < 2 * count) slots *= 2;
  return slots;
}

// Puts `entry` (not empty) into `slots` (a power-of-two count, some free),
// unless it is there already; returns whether it was new.
template <class Slots>
constexpr bool insert(Slots& slots, std::size_t mask, std::string_view entry) noexcept {
  for (std::size_t i = hash(entry) & mask;; i = (i + 1) & mask) {
    if (slots[i].empty()) {
      slots[i] = entry;
      return true;
    }
    if (slots[i] == entry) return false;
  }
}

[[nodiscard]] constexpr bool contains(const std::string_view* slots, std::size_t mask, std::string_view entry) noexcept {
  for (std::size_t i = hash(entry) & mask;; i = (i + 1) & mask) {
    if (slots[i].empty()) return false;
    if (slots[i] == entry) return true;
  }
}

}  // namespace ardovel::analysis::stopword_table
