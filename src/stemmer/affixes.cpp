#include "stemmer/affixes.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

#include "stemmer/affix_tables.hpp"

namespace ardovel {
namespace {

constexpr std::string_view superlative_prefix = "naj";

// ---- Suffix matching -------------------------------------------------------
//
// The stemmer runs millions of times, so a form is not compared with the 70
// suffixes one by one. The suffixes, read backwards, form a trie; a form's
// bytes, read from its end, walk down it, and the deepest node on the way
// that ends a suffix gives the suffix to remove. Any two suffixes that end
// the same form are nested, so the first one in trial order (by descending
// byte length) that ends the form is the longest such, which is exactly the
// deepest one met on the walk. A walk takes one step per byte, and stops at
// the first byte no suffix has at that distance from its end: for most forms
// after one or two steps.
//
// The trie is a table of transitions, built when the module is compiled:
// bytes that occur in some suffix get a small class number (every other
// byte is class 0, which leads nowhere), and each node has one entry per
// class.

constexpr std::size_t count_byte_classes() noexcept {
  std::array<bool, 256> seen{};
  std::size_t classes = 1;  // class 0: bytes that no suffix contains
  for (const std::string_view suffix : SUFFIX_TABLE) {
    for (const char byte : suffix) {
      const auto b = static_cast<unsigned char>(byte);
      if (!seen[b]) {
        seen[b] = true;
        ++classes;
      }
    }
  }
  return classes;
}

// Node 0 is "no suffix continues here"; node 1 is the root.
constexpr std::size_t dead_node = 0;
constexpr std::size_t root_node = 1;

constexpr std::size_t count_trie_nodes() noexcept {
  // Every distinct tail of a suffix (its last k bytes) is one node.
  std::array<std::string_view, 8 * SUFFIX_TABLE.size()> tails{};
  std::size_t count = 0;
  for (const std::string_view suffix : SUFFIX_TABLE) {
    for (std::size_t k = 1; k <= suffix.size(); ++k) {
      const std::string_view tail = suffix.substr(suffix.size() - k);
      bool known = false;
      for (std::size_t i = 0; i < count; ++i) known = known || tails[i] == tail;
      if (!known) tails[count++] = tail;
    }
  }
  return count + 2;
}

constexpr std::size_t byte_classes = count_byte_classes();
constexpr std::size_t trie_nodes = count_trie_nodes();
static_assert(trie_nodes <= 256, "node numbers must fit in a byte");

struct SuffixTrie {
  std::array<std::uint8_t, 256> byte_class{};
  std::array<std::array<std::uint8_t, byte_classes>, trie_nodes> next{};
  // The byte length of the suffix that ends at a node (its depth), or 0.
  std::array<std::uint8_t, trie_nodes> suffix_length{};
};

constexpr SuffixTrie build_suffix_trie() noexcept {
  SuffixTrie trie;
  std::size_t classes = 1;
  for (const std::string_view suffix : SUFFIX_TABLE) {
    for (const char byte : suffix) {
      auto& cls = trie.byte_class[static_cast<unsigned char>(byte)];
      if (cls == 0) cls = static_cast<std::uint8_t>(classes++);
    }
  }
  std::size_t nodes = root_node + 1;
  for (const std::string_view suffix : SUFFIX_TABLE) {
    std::size_t node = root_node;
    for (std::size_t k = 1; k <= suffix.size(); ++k) {
      const std::uint8_t cls = trie.byte_class[static_cast<unsigned char>(suffix[suffix.size() - k])];
      if (trie.next[node][cls] == dead_node) trie.next[node][cls] = static_cast<std::uint8_t>(nodes++);
      node = trie.next[node][cls];
    }
    trie.suffix_length[node] = static_cast<std::uint8_t>(suffix.size());
  }
  return trie;
}

constexpr SuffixTrie SUFFIX_TRIE = build_suffix_trie();

// Every suffix is found again by its own walk: the table is distinct and the
// trie has room for it.
constexpr bool trie_holds_every_suffix() noexcept {
  for (const std::string_view suffix : SUFFIX_TABLE) {
    std::size_t node = root_node;
    for (std::size_t k = 1; k <= suffix.size(); ++k) {
      node = SUFFIX_TRIE.next[node][SUFFIX_TRIE.byte_class[static_cast<unsigned char>(suffix[suffix.size() - k])]];
      if (node == dead_node) return false;
    }
    if (SUFFIX_TRIE.suffix_length[node] != suffix.size()) return false;
  }
  return true;
}
static_assert(trie_holds_every_suffix());

constexpr bool longest_suffixes_come_first() noexcept {
  for (std::size_t i = 1; i < SUFFIX_TABLE.size(); ++i) {
    if (SUFFIX_TABLE[i].size() > SUFFIX_TABLE[i - 1].size()) return false;
  }
  return true;
}
static_assert(longest_suffixes_come_first(), "trial order is by descending byte length");

// Bit n is set when some exception form has n bytes.
constexpr std::uint64_t EXCEPTION_LENGTHS = [] {
  std::uint64_t lengths = 0;
  for (const ExceptionForm& entry : EXCEPTION_FORMS) lengths |= std::uint64_t{1} << entry.form.size();
  return lengths;
}();

}  // namespace

std::optional<std::string_view> strip_superlative(std::string_view form) noexcept {
  if (!form.starts_with(superlative_prefix)) return std::nullopt;
  return form.substr(superlative_prefix.size());
}

ExceptionOutcome lookup_exception(std::string_view form) noexcept {
  // Nearly every form has a length no exception has.
  if (form.size() >= 64 || ((EXCEPTION_LENGTHS >> form.size()) & 1U) == 0) return {};
  for (const ExceptionForm& entry : EXCEPTION_FORMS) {
    if (entry.form != form) continue;
    if (entry.stem.empty()) return {ExceptionOutcome::Kind::stop, {}};
    return {ExceptionOutcome::Kind::replace_and_stop, entry.stem};
  }
  return {};
}

std::optional<std::string_view> strip_suffix(std::string_view form) noexcept {
  const auto* end = reinterpret_cast<const unsigned char*>(form.data() + form.size());
  const std::size_t reach = form.size() < max_suffix_bytes ? form.size() : max_suffix_bytes;
  std::size_t node = root_node;
  std::size_t longest = 0;
  for (std::size_t k = 1; k <= reach; ++k) {
    node = SUFFIX_TRIE.next[node][SUFFIX_TRIE.byte_class[end[-static_cast<std::ptrdiff_t>(k)]]];
    if (node == dead_node) break;
    if (SUFFIX_TRIE.suffix_length[node] != 0) longest = SUFFIX_TRIE.suffix_length[node];
  }
  if (longest == 0) return std::nullopt;
  return form.substr(0, form.size() - longest);
}

}  // namespace ardovel
