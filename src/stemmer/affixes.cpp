#include "stemmer/affixes.hpp"

#include <array>
#include <cstdint>

#include "stemmer/affix_tables.hpp"

namespace ardovel {
namespace {

constexpr std::string_view superlative_prefix = "naj";

// ---- Suffix matching -------------------------------------------------------
//
// The stemmer runs millions of times, so a form is not compared with all 70
// suffixes. Every suffix fits in eight bytes, so the last eight bytes of a
// form and each suffix are packed into a 64-bit word (last byte lowest), and
// a match is one masked compare. The suffixes are bucketed by their last
// byte, keeping trial order inside each bucket, so a form meets only the few
// suffixes that end in its own last byte (at most 20, for "a").

// The last (up to) eight bytes of `text`, its last byte in the low bits and
// zero bytes above when the text is shorter.
constexpr std::uint64_t pack_tail(std::string_view text) noexcept {
  const std::size_t window = text.size() < max_suffix_bytes ? text.size() : max_suffix_bytes;
  std::uint64_t packed = 0;
  for (std::size_t i = text.size() - window; i < text.size(); ++i) {
    packed = (packed << 8U) | static_cast<unsigned char>(text[i]);
  }
  return packed;
}

struct PackedSuffix {
  std::uint64_t bytes = 0;
  std::uint64_t mask = 0;  // covers exactly the suffix's bytes
  std::size_t length = 0;
};

constexpr PackedSuffix pack_suffix(std::string_view suffix) noexcept {
  const std::size_t bits = 8 * suffix.size();
  const std::uint64_t mask = bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
  return {pack_tail(suffix), mask, suffix.size()};
}

constexpr unsigned last_byte(std::string_view text) noexcept { return static_cast<unsigned char>(text.back()); }

struct SuffixIndex {
  // Bucket b holds suffixes[bucket_start[b]] up to suffixes[bucket_start[b + 1]].
  std::array<std::uint8_t, 257> bucket_start{};
  std::array<PackedSuffix, SUFFIX_TABLE.size()> suffixes{};
};

// A stable counting sort of the table by last byte.
constexpr SuffixIndex build_suffix_index() noexcept {
  std::array<std::uint8_t, 256> bucket_size{};
  for (const std::string_view suffix : SUFFIX_TABLE) ++bucket_size[last_byte(suffix)];

  SuffixIndex index;
  for (std::size_t b = 0; b < 256; ++b) {
    index.bucket_start[b + 1] = static_cast<std::uint8_t>(index.bucket_start[b] + bucket_size[b]);
  }
  std::array<std::uint8_t, 256> next_slot{};
  for (std::size_t b = 0; b < 256; ++b) next_slot[b] = index.bucket_start[b];
  for (const std::string_view suffix : SUFFIX_TABLE) index.suffixes[next_slot[last_byte(suffix)]++] = pack_suffix(suffix);
  return index;
}

constexpr SuffixIndex SUFFIX_INDEX = build_suffix_index();

// The properties the matcher relies on, proven when it is built.
constexpr bool suffixes_fit_the_matcher() noexcept {
  for (const std::string_view suffix : SUFFIX_TABLE) {
    if (suffix.empty() || suffix.size() > max_suffix_bytes) return false;
    // A zero byte in a suffix could match the zero padding of a form shorter
    // than the suffix; without one, such a form can never match.
    for (const char byte : suffix) {
      if (byte == '\0') return false;
    }
  }
  return true;
}
static_assert(suffixes_fit_the_matcher(), "every suffix must be 1 to 8 non-zero bytes");

constexpr bool longest_suffixes_come_first() noexcept {
  for (std::size_t i = 1; i < SUFFIX_TABLE.size(); ++i) {
    if (SUFFIX_TABLE[i].size() > SUFFIX_TABLE[i - 1].size()) return false;
  }
  return true;
}
static_assert(longest_suffixes_come_first(), "trial order is by descending byte length");

static_assert(SUFFIX_INDEX.bucket_start[256] == SUFFIX_TABLE.size());

}  // namespace

std::optional<std::string_view> strip_superlative(std::string_view form) noexcept {
  if (!form.starts_with(superlative_prefix)) return std::nullopt;
  return form.substr(superlative_prefix.size());
}

ExceptionOutcome lookup_exception(std::string_view form) noexcept {
  for (const ExceptionForm& entry : EXCEPTION_FORMS) {
    if (entry.form != form) continue;
    if (entry.stem.empty()) return {ExceptionOutcome::Kind::stop, {}};
    return {ExceptionOutcome::Kind::replace_and_stop, entry.stem};
  }
  return {};
}

std::optional<std::string_view> strip_suffix(std::string_view form) noexcept {
  if (form.empty()) return std::nullopt;
  const std::uint64_t tail = pack_tail(form);
  const unsigned bucket = last_byte(form);
  for (unsigned i = SUFFIX_INDEX.bucket_start[bucket]; i < SUFFIX_INDEX.bucket_start[bucket + 1]; ++i) {
    const PackedSuffix& suffix = SUFFIX_INDEX.suffixes[i];
    if ((tail & suffix.mask) == suffix.bytes) return form.substr(0, form.size() - suffix.length);
  }
  return std::nullopt;
}

}  // namespace ardovel
