#include "stemmer/affixes.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "stemmer/affix_tables.hpp"

namespace ardovel {
namespace {

// ---- Suffix matching -------------------------------------------------------
//
// The stemmer runs millions of times, so a form is not compared with the 70
// suffixes one by one. Every suffix fits in eight bytes, so the last eight
// bytes of a form are packed into a 64-bit word (last byte lowest), and its
// last n bytes are that word masked to n bytes. For each byte length that
// some suffix has, that tail is looked up in one hash table holding every
// suffix; the look-ups do not depend on each other and take no branches, so
// they overlap in the processor. The longest length found is the suffix to
// remove: any two suffixes that end the same form are nested, so the first
// one in trial order (by descending byte length) that ends the form is the
// longest such.
//
// The bytes a shorter form lacks are packed as 0xFF, which no suffix
// contains: a tail masked to more bytes than the form has then matches no
// suffix, so no length needs comparing with the form's size. A packed
// suffix is never zero, which marks an empty slot.

// A suffix packed into a word: its last byte in the low bits, zeros above.
constexpr std::uint64_t pack_suffix(std::string_view suffix) noexcept {
  std::uint64_t packed = 0;
  for (const char byte : suffix) packed = (packed << 8U) | static_cast<unsigned char>(byte);
  return packed;
}

template <class Word>
Word load_big_endian(const char* bytes) noexcept {
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::little) {
    if constexpr (sizeof word == 8) word = __builtin_bswap64(word);
    if constexpr (sizeof word == 4) word = __builtin_bswap32(word);
  }
  return word;
}

// The last (up to) eight bytes of `form`, its last byte in the low bits and
// 0xFF bytes above when the form is shorter. Shorter forms are read with
// loads that overlap (equal bytes OR together) rather than byte by byte.
std::uint64_t pack_tail(std::string_view form) noexcept {
  const char* const bytes = form.data();
  const std::size_t size = form.size();
  if (size >= 8) return load_big_endian<std::uint64_t>(bytes + size - 8);
  const std::uint64_t filler = ~std::uint64_t{0} << (8 * size);
  if (size >= 4) {
    const std::uint64_t first = load_big_endian<std::uint32_t>(bytes);
    const std::uint64_t last = load_big_endian<std::uint32_t>(bytes + size - 4);
    return filler | (first << (8 * (size - 4))) | last;
  }
  if (size == 0) return filler;
  const auto byte_at = [&](std::size_t at) -> std::uint64_t {
    return std::uint64_t{static_cast<unsigned char>(bytes[at])} << (8 * (size - 1 - at));
  };
  return filler | byte_at(0) | byte_at(size / 2) | byte_at(size - 1);
}

constexpr std::uint64_t mask_of(std::size_t length) noexcept {
  return length >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * length)) - 1;
}

// The byte lengths that suffixes have, shortest first.
constexpr auto SUFFIX_LENGTHS = [] {
  std::array<bool, max_suffix_bytes + 1> present{};
  for (const std::string_view suffix : SUFFIX_TABLE) present[suffix.size()] = true;
  std::array<std::uint8_t, max_suffix_bytes + 1> lengths{};
  std::size_t count = 0;
  for (std::size_t n = 1; n <= max_suffix_bytes; ++n) {
    if (present[n]) lengths[count++] = static_cast<std::uint8_t>(n);
  }
  return std::pair{lengths, count};
}();
constexpr std::size_t suffix_length_count = SUFFIX_LENGTHS.second;

constexpr unsigned hash_bits = 9;
constexpr std::uint64_t empty_slot = 0;

constexpr std::size_t slot_of(std::uint64_t key, std::uint64_t multiplier) noexcept {
  return static_cast<std::size_t>((key * multiplier) >> (64 - hash_bits));
}

// The first odd multiplier (from a fixed sequence) that gives every suffix a
// slot of its own.
constexpr std::uint64_t find_multiplier() noexcept {
  std::uint64_t candidate = 0x9E3779B97F4A7C15ULL;
  for (int attempt = 0; attempt < 100000; ++attempt) {
    std::array<bool, std::size_t{1} << hash_bits> taken{};
    bool distinct = true;
    for (const std::string_view suffix : SUFFIX_TABLE) {
      const std::size_t slot = slot_of(pack_suffix(suffix), candidate);
      distinct = distinct && !taken[slot];
      taken[slot] = true;
    }
    if (distinct) return candidate;
    candidate = candidate * 6364136223846793005ULL + 1442695040888963407ULL;
    candidate |= 1;
  }
  return 0;
}

constexpr std::uint64_t hash_multiplier = find_multiplier();
static_assert(hash_multiplier != 0, "no collision-free multiplier for the suffix table");

constexpr auto SUFFIX_SLOTS = [] {
  std::array<std::uint64_t, std::size_t{1} << hash_bits> slots{};
  for (std::uint64_t& slot : slots) slot = empty_slot;
  for (const std::string_view suffix : SUFFIX_TABLE) slots[slot_of(pack_suffix(suffix), hash_multiplier)] = pack_suffix(suffix);
  return slots;
}();

// The properties the matcher relies on, proven when it is built.
constexpr bool suffixes_fit_the_matcher() noexcept {
  for (const std::string_view suffix : SUFFIX_TABLE) {
    if (suffix.empty() || suffix.size() > max_suffix_bytes) return false;
    for (const char byte : suffix)
      if (byte == '\0' || static_cast<unsigned char>(byte) == 0xFF) return false;
    if (SUFFIX_SLOTS[slot_of(pack_suffix(suffix), hash_multiplier)] != pack_suffix(suffix)) return false;
  }
  return true;
}
static_assert(suffixes_fit_the_matcher(), "every suffix is 1 to 8 bytes, none 0x00 or 0xFF, in a slot of its own");

}  // namespace

ExceptionOutcome find_exception(std::string_view form) noexcept {
  for (const ExceptionForm& entry : EXCEPTION_FORMS) {
    if (!same_bytes(entry.form, form)) continue;
    if (entry.stem.empty()) return {ExceptionOutcome::Kind::stop, {}};
    return {ExceptionOutcome::Kind::replace_and_stop, entry.stem};
  }
  return {};
}

std::optional<std::string_view> strip_suffix(std::string_view form) noexcept {
  const std::uint64_t tail = pack_tail(form);
  // Shortest length first, so that the last match is the longest.
  std::size_t longest = 0;
  for (std::size_t k = 0; k < suffix_length_count; ++k) {
    const std::size_t length = SUFFIX_LENGTHS.first[k];
    const std::uint64_t key = tail & mask_of(length);
    if (SUFFIX_SLOTS[slot_of(key, hash_multiplier)] == key) longest = length;
  }
  if (longest == 0) return std::nullopt;
  return form.substr(0, form.size() - longest);
}

}  // namespace ardovel
