// The lexicon's layout: one block of 32-bit little-endian words, made at
// build time by tools/lexicon/make_lexicon and read where it lies (no
// table is built at run time).
//
//   header       the words named below
//   nodes        every node of the three node arrays: a header word (the
//                code, 1-based, in the high 24 bits, 0 where no word ends;
//                the edge count in the low 8), then one word per edge (the
//                target's offset in the high 24 bits, the byte in the low
//                8), edges in byte order
//   codes        two words per lemma-rewrite code: the bytes to cut from
//                the end of the looked-up form and the length of what to
//                append, then where that text starts in the pool
//   pool         the appended texts, then the metadata text
//
// Four node arrays: the automaton of forms (lower case, Latin, "ije" as
// written), the same over bald forms (č ć -> c, š -> s, ž -> z, đ -> dj)
// with bald keys, and the ending tries of the rules for words the lexicon
// lacks, read off each of the two and walked from a word's last byte.
#pragma once

#include <cstdint>

namespace ardovel::lexicon_format {

constexpr std::uint32_t magic_0 = 0x4C445241;  // "ARDL"
constexpr std::uint32_t magic_1 = 0x31305845;  // "EX01"

enum Header : std::uint32_t {
  h_magic_0,
  h_magic_1,
  h_exact_root,
  h_folded_root,
  h_rules_root,
  h_nodes_offset,  // in words
  h_nodes_count,
  h_codes_offset,  // in words
  h_codes_count,
  h_pool_offset,   // in bytes
  h_pool_size,
  h_meta_offset,   // in bytes
  h_meta_size,
  h_rule_min_stem,  // a rule leaves at least this many bytes of the word
  h_folded_rules_root,
  h_count
};

constexpr std::uint32_t max_edges = 0xFF;
constexpr std::uint32_t max_code = 0xFFFFFF;
constexpr std::uint32_t max_offset = 0xFFFFFF;

constexpr std::uint32_t node_header(std::uint32_t code, std::uint32_t edges) { return code << 8 | edges; }
constexpr std::uint32_t edge(unsigned char label, std::uint32_t target) { return target << 8 | label; }

}  // namespace ardovel::lexicon_format
