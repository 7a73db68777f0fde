// The rule containers of one comparison object: the rules as source text, the
// row of the last one, and their compiled form. Only the rule set itself
// writes them, so the compiled table and the automata of its contexts always
// follow the text they were compiled from.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

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

// What the matcher reads besides the table: the rows grouped by key and the
// automata of their contexts. Defined inside the phonetics layer.
class CompiledRules;

class RuleSet {
 public:
  RuleSet();
  ~RuleSet();
  RuleSet(RuleSet&&) noexcept;
  RuleSet& operator=(RuleSet&&) noexcept;

  // Stores `source` in RuleText from row 0 on and sets RuleCount to the row
  // of the last one. A store past row 500 throws RuntimeError (subscript out
  // of range); the rows stored before it stay, and RuleCount names the row
  // that was refused.
  void StoreRules(std::span<const std::u16string_view> source);

  // Stores the built-in English rules (rows 0 to 348, RuleCount 348).
  void LoadEnglishRules();

  // Splits RuleText rows 0 to RuleCount into RuleTable and builds the
  // automata of their contexts. A rule that lacks a delimiter, has them out
  // of order, or has no letters throws RuntimeError (invalid procedure call
  // or argument); a RuleCount past row 500 throws it (subscript out of range)
  // once rows 0 to 500 are done. The rows before a failing one are compiled,
  // it and the rows after it keep what they held. Contexts that together need
  // too large an automaton throw RuntimeError (out of memory). A context
  // outside the pattern dialect is not refused here but by the matcher, when
  // it reaches the row. After a failure no rule applies until a compile
  // succeeds.
  void CompileRules();

  std::span<const std::u16string, kRuleRows> RuleText() const noexcept { return text_; }
  std::span<const RuleRow, kRuleRows> RuleTable() const noexcept { return table_; }
  // The row of the last rule stored, not the number of rules.
  std::int16_t RuleCount() const noexcept { return count_; }

  const CompiledRules& compiled() const noexcept { return *compiled_; }

 private:
  std::array<std::u16string, kRuleRows> text_;
  std::array<RuleRow, kRuleRows> table_;
  std::int16_t count_ = 0;
  std::unique_ptr<CompiledRules> compiled_;
};

}  // namespace vantel::phonetics
