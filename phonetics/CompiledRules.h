// The part of a compiled rule set that only the matcher reads: the rows
// grouped by key, and the automata of their contexts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "ContextAutomaton.h"
#include "RuleSet.h"

namespace vantel::phonetics {

// Up to 64 rows of one key, in row order; bit i stands for rows[i].
struct RuleChunk {
  std::vector<std::int16_t> rows;
  std::uint64_t members;  // the rows whose contexts the automata test
  std::uint64_t refused;  // the rows with a context outside the pattern dialect
  // Backwards over the consumed text: the left contexts.
  ContextAutomaton left;
  // Forwards over the remaining text from just after the key: the further
  // letters (either case of an ASCII letter), then the right context.
  ContextAutomaton right;
};

class CompiledRules {
 public:
  // No rules: every character stands for itself.
  CompiledRules() = default;

  // The chunks of `rows`, which must all have letters. Throws RuntimeError
  // (out of memory) when the contexts of a chunk need an automaton beyond
  // ContextAutomaton::kMaxStates.
  static CompiledRules Build(std::span<const RuleRow> rows);

  // The chunks of the rows whose key is `key`, in row order.
  std::span<const RuleChunk> ChunksFor(char16_t key) const noexcept {
    if (key < ascii_.size()) return ChunksOfGroup(ascii_[key]);
    return ChunksBeyondAscii(key);
  }

 private:
  std::span<const RuleChunk> ChunksOfGroup(std::uint32_t group) const noexcept {
    if (group == 0) return {};
    const auto [begin, end] = groups_[group - 1];
    return std::span<const RuleChunk>(chunks_).subspan(begin, end - begin);
  }
  std::span<const RuleChunk> ChunksBeyondAscii(char16_t key) const noexcept;

  std::vector<RuleChunk> chunks_;                                // grouped by key
  std::vector<std::pair<std::uint32_t, std::uint32_t>> groups_;  // each group's range of chunks
  std::array<std::uint16_t, 128> ascii_{};                       // group + 1 of each ASCII key, 0 for none
  std::vector<std::pair<char16_t, std::uint16_t>> others_;       // the same for other keys, sorted
};

}  // namespace vantel::phonetics
