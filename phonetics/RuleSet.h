// The rule containers of one comparison object: the rules as source text, the
// index of the last one, and their compiled form.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "phonetics/Pattern.h"

namespace vantel::phonetics {

// Rows 0 to 500: a rule set holds at most 501 rules.
inline constexpr std::int32_t kLastRuleRow = 500;
inline constexpr std::size_t kRuleRows = kLastRuleRow + 1;

// One compiled rule. The contexts are kept as written; what they mean when a
// rule is applied is the matcher's business.
struct RuleRow {
  std::u16string key;           // the first character of the letters
  std::u16string leftContext;   // must match the text just before the letters
  std::u16string letters;       // the characters the rule transcribes
  std::u16string rightContext;  // must match the text just after the letters
  std::u16string phonemes;      // codes separated by single spaces; may be empty

  friend bool operator==(const RuleRow&, const RuleRow&) = default;
};

// The contexts of one row, compiled once for the matcher. An empty optional
// marks a context outside the pattern dialect, refused when the matcher
// reaches the row.
struct CompiledContexts {
  std::optional<Pattern> left;
  std::optional<Pattern> right;
};

// The rows of each key in ascending order, so that the matcher only visits
// the rows whose key equals the current character.
class KeyIndex {
 public:
  void Rebuild(std::span<const RuleRow> rows);
  std::span<const std::int16_t> RowsFor(char16_t key) const noexcept;

 private:
  struct Group {
    char16_t key;
    std::uint32_t begin;
    std::uint32_t end;
  };
  std::vector<std::int16_t> rows_;  // grouped by key
  std::array<Group, 128> ascii_{};  // groups of ASCII keys, by key
  std::vector<Group> others_;       // groups of other keys, sorted by key
};

struct RuleSet {
  std::array<std::u16string, kRuleRows> RuleText;
  std::array<RuleRow, kRuleRows> RuleTable;
  std::int16_t RuleCount = 0;  // the row of the last rule stored, not the number of rules

  // Prepared by CompileRules from RuleTable rows 0 to RuleCount.
  std::array<CompiledContexts, kRuleRows> contexts;
  KeyIndex index;
};

// Stores `rules` in RuleText from row 0 on and sets RuleCount to the row of the
// last one. A store past row 500 throws RuntimeError (subscript out of range);
// the rows stored before it stay.
void StoreRules(RuleSet& rules, std::span<const std::u16string_view> source);

// Stores the built-in English rules (rows 0 to 348, RuleCount 348).
void LoadEnglishRules(RuleSet& rules);

// Splits RuleText rows 0 to RuleCount into RuleTable. A rule that lacks a
// delimiter, has them out of order, or has no letters throws RuntimeError
// (invalid procedure call or argument); the rows before it are compiled, it
// and the rows after it keep what they held.
void CompileRules(RuleSet& rules);

}  // namespace vantel::phonetics
