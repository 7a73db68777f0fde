// Rules are tried in row order among those whose key is the current
// character; the key index only skips rows whose key differs, which could
// never apply. A row's contexts were compiled with the rules, so a test here
// is a run of a prepared automaton and never parses anything.

#include "phonetics/RuleMatcher.h"

#include <algorithm>

#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

constexpr char16_t FoldAscii(char16_t unit) noexcept {
  return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

// The key (the first letter) has already been compared exactly; the further
// letters are compared ignoring the case of ASCII letters.
bool BeginsWithLetters(std::u16string_view remaining, std::u16string_view letters) noexcept {
  if (letters.size() > remaining.size()) return false;
  for (std::size_t i = 1; i < letters.size(); ++i) {
    if (FoldAscii(remaining[i]) != FoldAscii(letters[i])) return false;
  }
  return true;
}

}  // namespace

void KeyIndex::Rebuild(std::span<const RuleRow> rows) {
  rows_.clear();
  ascii_ = {};
  others_.clear();

  std::vector<std::pair<char16_t, std::int16_t>> keyed;
  keyed.reserve(rows.size());
  for (std::size_t row = 0; row < rows.size(); ++row) {
    if (rows[row].key.size() == 1) keyed.emplace_back(rows[row].key.front(), static_cast<std::int16_t>(row));
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  for (std::size_t i = 0; i < keyed.size();) {
    const char16_t key = keyed[i].first;
    const auto begin = static_cast<std::uint32_t>(rows_.size());
    for (; i < keyed.size() && keyed[i].first == key; ++i) rows_.push_back(keyed[i].second);
    const Group group{key, begin, static_cast<std::uint32_t>(rows_.size())};
    if (key < ascii_.size()) {
      ascii_[key] = group;
    } else {
      others_.push_back(group);
    }
  }
}

std::span<const std::int16_t> KeyIndex::RowsFor(char16_t key) const noexcept {
  Group group{};
  if (key < ascii_.size()) {
    group = ascii_[key];
  } else {
    const auto found =
        std::lower_bound(others_.begin(), others_.end(), key, [](const Group& g, char16_t k) { return g.key < k; });
    if (found == others_.end() || found->key != key) return {};
    group = *found;
  }
  return std::span<const std::int16_t>(rows_).subspan(group.begin, group.end - group.begin);
}

RuleMatch MatchRule(const RuleSet& rules, std::u16string_view consumed, std::u16string_view remaining) {
  if (remaining.empty()) return {{}, 1};
  for (const std::int16_t row : rules.index.RowsFor(remaining.front())) {
    const auto at = static_cast<std::size_t>(row);
    const CompiledContexts& contexts = rules.contexts[at];
    if (!contexts.left || !contexts.right) throw RuntimeError(error::kRegexSyntax);
    const RuleRow& rule = rules.RuleTable[at];
    if (BeginsWithLetters(remaining, rule.letters) && contexts.right->MatchesAt(remaining, rule.letters.size()) &&
        contexts.left->MatchesEndingAt(consumed, consumed.size())) {
      return {rule.phonemes, rule.letters.size()};
    }
  }
  // No rule: the character stands for itself.
  return {remaining.substr(0, 1), 1};
}

}  // namespace vantel::phonetics
