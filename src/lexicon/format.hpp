// The lexicon's layout: one block of 32-bit little-endian words, made at
// build time by tools/lexicon/make_lexicon and read where it lies (no
// table is built at run time).
//
//   header       the words named below
//   nodes        every node of the node arrays, in one of two shapes:
//                a chain node, one word: bit 7 set, the one edge's byte in
//                bits 8-15, its target the next word (no code: no word
//                ends there);
//                a general node: a header word (the code, 1-based, in the
//                high 24 bits, 0 where no word ends; the edge count in the
//                low 7), the edges' bytes in byte order, four to a word,
//                then one word per edge with its target's offset
//   codes        two words per lemma-rewrite code: the bytes to cut from
//                the end of the looked-up form and the length of what to
//                append, then where that text starts in the pool
//   pool         the appended texts, then the metadata text
//
// Each automaton of forms also has a start table, where a lookup of a form
// of two bytes or more begins: 64 words holding one byte per byte value (its
// class, 0 for a byte no form starts with, 1 to 63 otherwise), then 64 x 64
// words, the node that the first two bytes' classes lead to (all ones for
// none). The root and its children are the widest nodes, and every lookup
// crosses them.
//
// Four node arrays: the automaton of forms (lower case, Latin, "ije" as
// written), the same over bald forms (č ć -> c, š -> s, ž -> z, đ -> dj)
// with bald keys, and the ending tries of the rules for words the lexicon
// lacks, read off each of the two and walked from a word's last byte.
//
// A bald form's code may carry ask_marked: some spelling with marks that
// folds to it has a lemma of its own ("kuće" is "kuća", though bald "kuce"
// is more often other words), so a token written with its marks is looked
// up as written. A code without it is the one every marked spelling's key
// folds to.
#pragma once

#include <cstdint>

namespace ardovel::lexicon_format {

constexpr std::uint32_t magic_0 = 0x4C445241;  // "ARDL"
constexpr std::uint32_t magic_1 = 0x32305845;  // "EX02"

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
  h_exact_starts,  // the start tables (below), as offsets into the nodes
  h_folded_starts,
  h_count
};

constexpr std::uint32_t max_edges = 0x7F;
constexpr std::uint32_t max_code = 0x7FFFFF;
constexpr std::uint32_t ask_marked = 0x800000;  // beside a bald form's code (above)
constexpr std::uint32_t max_offset = 0xFFFFFFF;
constexpr std::uint32_t chain_bit = 0x80;
constexpr std::uint32_t start_classes = 64;
constexpr std::uint32_t no_start = 0xFFFFFFFF;
// Whole words the node arrays end with, so that a scan may read sixteen
// label bytes from any node without leaving the data.
constexpr std::uint32_t tail_words = 4;

constexpr std::uint32_t node_header(std::uint32_t code, std::uint32_t edges) { return code << 8 | edges; }
constexpr std::uint32_t chain_node(unsigned char label) { return std::uint32_t{label} << 8 | chain_bit; }
constexpr std::size_t general_node_words(std::size_t edges) { return 1 + (edges + 3) / 4 + edges; }

}  // namespace ardovel::lexicon_format
