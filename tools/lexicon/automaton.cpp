#include "automaton.hpp"

#include <algorithm>
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
  if (state.edges.size() > lexicon_format::max_edges || (state.code & ~lexicon_format::ask_marked) > lexicon_format::max_code)
    throw std::runtime_error("automaton state too large for the node layout");
  const auto id = static_cast<std::uint32_t>(frozen_.size());
  frozen_.push_back(std::move(state));
  register_.emplace(std::move(signature), id);
  return id;
}

// Depth first from the root: a node with one edge and no code whose target
// is not placed yet becomes a chain node with its target right behind it,
// so the single-path tails of the forms cost one word per byte and are read
// front to back.
std::uint32_t AutomatonBuilder::lay_out(std::uint32_t root) {
  namespace fmt = lexicon_format;
  constexpr std::uint32_t unplaced = ~std::uint32_t{0};
  // Words below each state (children are frozen before their parents, so
  // one pass in id order counts them): the busiest child is placed right
  // behind its parent, where a walk most often goes next.
  std::vector<std::uint64_t> below(frozen_.size(), 0);
  for (std::uint32_t id = 0; id < frozen_.size(); ++id) {
    below[id] = frozen_[id].code != 0 ? 1 : 0;
    for (const auto& edge : frozen_[id].edges) below[id] += below[edge.second];
  }
  std::vector<std::uint32_t> offset(frozen_.size(), unplaced);
  std::vector<bool> chain(frozen_.size(), false);
  const auto base = static_cast<std::uint32_t>(words_.size());
  std::uint32_t next = base;
  std::vector<std::uint32_t> stack{root};
  while (!stack.empty()) {
    std::uint32_t id = stack.back();
    stack.pop_back();
    while (offset[id] == unplaced) {
      offset[id] = next;
      const Open& state = frozen_[id];
      if (state.edges.size() == 1 && state.code == 0 && offset[state.edges[0].second] == unplaced) {
        chain[id] = true;
        next += 1;
        id = state.edges[0].second;
        continue;
      }
      next += static_cast<std::uint32_t>(fmt::general_node_words(state.edges.size()));
      std::vector<std::uint32_t> children;
      for (const auto& edge : state.edges)
        if (offset[edge.second] == unplaced) children.push_back(edge.second);
      std::stable_sort(children.begin(), children.end(),
                       [&](std::uint32_t a, std::uint32_t b) { return below[a] < below[b]; });
      stack.insert(stack.end(), children.begin(), children.end());  // the busiest last, so placed first
      break;
    }
  }
  if (next - base > fmt::max_offset) throw std::runtime_error("automaton too large for the node layout");
  words_.resize(next, 0);
  for (std::uint32_t id = 0; id < frozen_.size(); ++id) {
    const Open& state = frozen_[id];
    std::uint32_t* at = words_.data() + offset[id];
    if (chain[id]) {
      at[0] = fmt::chain_node(state.edges[0].first);
      continue;
    }
    at[0] = fmt::node_header(state.code, static_cast<std::uint32_t>(state.edges.size()));
    auto* labels = reinterpret_cast<unsigned char*>(at + 1);  // little-endian: byte k of the label words
    for (std::size_t k = 0; k < state.edges.size(); ++k) labels[k] = state.edges[k].first;
    std::uint32_t* targets = at + 1 + (state.edges.size() + 3) / 4;
    for (std::size_t k = 0; k < state.edges.size(); ++k) targets[k] = offset[state.edges[k].second];
  }
  return offset[root];
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
  return lay_out(freeze(path_.front()));
}

}  // namespace ardovel::lexicon_tool
