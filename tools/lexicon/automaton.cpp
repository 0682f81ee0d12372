#include "automaton.hpp"

#include <stdexcept>

#include "lexicon/format.hpp"

namespace ardovel::lexicon_tool {

// Daciuk's incremental construction for sorted input: the states along the
// last word stay open; when the next word leaves that path, the states
// below the fork are frozen, each replaced by an equal frozen state when
// one exists (same code, same edges), so the automaton is minimal at the
// end.
std::uint32_t AutomatonBuilder::freeze(Open& state) {
  std::string signature(reinterpret_cast<const char*>(&state.code), sizeof state.code);
  for (const auto& [label, target] : state.edges) {
    signature += static_cast<char>(label);
    signature.append(reinterpret_cast<const char*>(&target), sizeof target);
  }
  const auto found = register_.find(signature);
  if (found != register_.end()) return found->second;
  if (state.edges.size() > lexicon_format::max_edges || state.code > lexicon_format::max_code)
    throw std::runtime_error("automaton state too large for the node layout");
  const auto offset = static_cast<std::uint32_t>(words_.size());
  if (offset > lexicon_format::max_offset) throw std::runtime_error("automaton too large for the node layout");
  words_.push_back(lexicon_format::node_header(state.code, static_cast<std::uint32_t>(state.edges.size())));
  for (const auto& [label, target] : state.edges) words_.push_back(lexicon_format::edge(label, target));
  register_.emplace(std::move(signature), offset);
  return offset;
}

void AutomatonBuilder::close_down_to(std::size_t depth) {
  while (path_.size() > depth + 1) {
    const std::uint32_t frozen = freeze(path_.back());
    path_.pop_back();
    path_.back().edges.back().second = frozen;
  }
}

void AutomatonBuilder::add(std::string_view word, std::uint32_t code) {
  if (!previous_.empty() && word <= previous_) throw std::runtime_error("automaton input not sorted");
  std::size_t common = 0;
  while (common < word.size() && common < previous_.size() && word[common] == previous_[common]) ++common;
  close_down_to(common);
  for (std::size_t k = common; k < word.size(); ++k) {
    path_.back().edges.emplace_back(static_cast<unsigned char>(word[k]), 0);
    path_.emplace_back();
  }
  path_.back().code = code;
  previous_.assign(word);
}

std::uint32_t AutomatonBuilder::finish() {
  close_down_to(0);
  return freeze(path_.front());
}

}  // namespace ardovel::lexicon_tool
