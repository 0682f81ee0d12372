// Builds the lexicon's two kinds of node arrays (the layout is described in
// src/lexicon/format.hpp): a minimal acyclic automaton over sorted forms
// whose final states carry a lemma-rewrite code, and the ending trie of the
// suffix rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ardovel::lexicon_tool {

// Appends nodes to `words` (shared by all node arrays of one lexicon, so
// that one offset type reaches them all); finish() lays them out and
// returns the root's offset.
class AutomatonBuilder {
 public:
  explicit AutomatonBuilder(std::vector<std::uint32_t>& words) : words_(words) {}

  // Words must come in strictly increasing byte order; `code` is 1-based
  // (0 marks a state that ends no word).
  void add(std::string_view word, std::uint32_t code);
  std::uint32_t finish();
  std::size_t state_count() const { return register_.size(); }

 private:
  struct Open {
    std::uint32_t code = 0;
    std::vector<std::pair<unsigned char, std::uint32_t>> edges;  // the last one's target is still open
  };
  std::uint32_t freeze(Open& state);
  void close_down_to(std::size_t depth);
  std::uint32_t lay_out(std::uint32_t root);

  std::vector<std::uint32_t>& words_;
  std::vector<Open> frozen_;
  std::vector<Open> path_{1};
  std::string previous_;
  std::unordered_map<std::string, std::uint32_t> register_;
};

}  // namespace ardovel::lexicon_tool
