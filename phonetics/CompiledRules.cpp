// The rows of each key are cut into chunks of 64, in row order, so that a
// chunk's answers fit one 64-bit word and the lowest bit is the first row.
// Each row's contexts are parsed once; a row with a context outside the
// dialect joins no automaton and is only marked, so that the matcher refuses
// it when it reaches that row, as a row-by-row matcher would.

#include "CompiledRules.h"

#include <algorithm>
#include <map>
#include <optional>

#include "ContextSyntax.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

constexpr std::size_t kChunkRows = 64;

ContextAutomaton MustBuild(std::span<const ContextMember> members, ScanDirection direction) {
  std::optional<ContextAutomaton> automaton = ContextAutomaton::Build(members, direction);
  if (!automaton) throw RuntimeError(error::kOutOfMemory);
  return std::move(*automaton);
}

RuleChunk BuildChunk(std::span<const RuleRow> table, std::span<const std::int16_t> rows) {
  std::vector<ContextSequence> lefts;
  std::vector<ContextSequence> rights;
  lefts.reserve(rows.size());
  rights.reserve(rows.size());
  std::vector<ContextMember> leftMembers;
  std::vector<ContextMember> rightMembers;
  std::uint64_t members = 0;
  std::uint64_t refused = 0;
  for (std::size_t bit = 0; bit < rows.size(); ++bit) {
    const RuleRow& row = table[static_cast<std::size_t>(rows[bit])];
    std::optional<ContextSequence> left = ParseContext(row.leftContext);
    std::optional<ContextSequence> right = ParseContext(row.rightContext);
    if (!left || !right) {
      refused |= std::uint64_t{1} << bit;
      continue;
    }
    members |= std::uint64_t{1} << bit;
    lefts.push_back(std::move(*left));
    rights.push_back(LiteralThen(std::u16string_view(row.letters).substr(1), std::move(*right)));
    leftMembers.push_back({static_cast<unsigned>(bit), &lefts.back()});
    rightMembers.push_back({static_cast<unsigned>(bit), &rights.back()});
  }
  return RuleChunk{{rows.begin(), rows.end()},
                   members,
                   refused,
                   MustBuild(leftMembers, ScanDirection::kBackward),
                   MustBuild(rightMembers, ScanDirection::kForward)};
}

}  // namespace

CompiledRules CompiledRules::Build(std::span<const RuleRow> rows) {
  std::map<char16_t, std::vector<std::int16_t>> byKey;
  for (std::size_t row = 0; row < rows.size(); ++row) {
    byKey[rows[row].letters.front()].push_back(static_cast<std::int16_t>(row));
  }
  CompiledRules compiled;
  for (const auto& [key, keyRows] : byKey) {
    const auto begin = static_cast<std::uint32_t>(compiled.chunks_.size());
    for (std::size_t first = 0; first < keyRows.size(); first += kChunkRows) {
      const std::size_t count = std::min(kChunkRows, keyRows.size() - first);
      compiled.chunks_.push_back(BuildChunk(rows, std::span<const std::int16_t>(keyRows).subspan(first, count)));
    }
    compiled.groups_.emplace_back(begin, static_cast<std::uint32_t>(compiled.chunks_.size()));
    const auto group = static_cast<std::uint16_t>(compiled.groups_.size());
    if (key < compiled.ascii_.size()) {
      compiled.ascii_[key] = group;
    } else {
      compiled.others_.emplace_back(key, group);  // std::map gives them sorted
    }
  }
  return compiled;
}

std::span<const RuleChunk> CompiledRules::ChunksBeyondAscii(char16_t key) const noexcept {
  const auto found = std::lower_bound(others_.begin(), others_.end(), key,
                                      [](const auto& entry, char16_t k) { return entry.first < k; });
  if (found == others_.end() || found->first != key) return {};
  return ChunksOfGroup(found->second);
}

}  // namespace vantel::phonetics
