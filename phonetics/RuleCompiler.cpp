// Splits rule source strings at their three delimiters. Positions are 1-based
// and every delimiter is searched from the start of the whole rule, so a rule
// with a missing or misplaced delimiter asks for a negative number of
// characters somewhere and is refused.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "phonetics/RuleSet.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

constexpr std::u16string_view kOpen = u" [[ ";
constexpr std::u16string_view kClose = u" ]] ";
constexpr std::u16string_view kArrow = u" -> ";
constexpr std::int64_t kDelimiterLength = 4;

// 1-based position of the first occurrence, 0 when absent.
std::int64_t PositionOf(std::u16string_view text, std::u16string_view delimiter) {
  const std::size_t found = text.find(delimiter);
  return found == std::u16string_view::npos ? 0 : static_cast<std::int64_t>(found) + 1;
}

// The `count` characters from 1-based `position`: fewer if the text ends
// first, none if it already has.
std::u16string CharactersFrom(std::u16string_view text, std::int64_t position, std::int64_t count) {
  if (count < 0 || position < 1) throw RuntimeError(error::kInvalidProcedureCall);
  const auto start = static_cast<std::size_t>(position - 1);
  if (start >= text.size()) return {};
  return std::u16string(text.substr(start, static_cast<std::size_t>(count)));
}

std::u16string TrimSpaces(std::u16string_view text) {
  const std::size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(u' ');
  return std::u16string(text.substr(first, last - first + 1));
}

RuleRow CompileRule(std::u16string_view rule) {
  const auto length = static_cast<std::int64_t>(rule.size());
  const std::int64_t open = PositionOf(rule, kOpen);
  const std::int64_t close = PositionOf(rule, kClose);
  const std::int64_t arrow = PositionOf(rule, kArrow);

  RuleRow row;
  row.leftContext = CharactersFrom(rule, 1, open - 1);
  row.letters = CharactersFrom(rule, open + kDelimiterLength, close - open - kDelimiterLength);
  row.rightContext = CharactersFrom(rule, close + kDelimiterLength, arrow - close - kDelimiterLength);
  if (arrow + kDelimiterLength <= length) {
    row.phonemes = TrimSpaces(CharactersFrom(rule, arrow + kDelimiterLength, length - arrow - 3));
  }
  // A rule without letters would consume nothing and stall the transcription.
  if (row.letters.empty()) throw RuntimeError(error::kInvalidProcedureCall);
  row.key = row.letters.substr(0, 1);
  return row;
}

// The matcher walks rows 0 to RuleCount, within the table.
std::span<const RuleRow> WalkedRows(const RuleSet& rules) {
  const std::int32_t lastRow = std::min<std::int32_t>(rules.RuleCount, kLastRuleRow);
  return std::span<const RuleRow>(rules.RuleTable).first(static_cast<std::size_t>(std::max(lastRow + 1, 0)));
}

// Compiles each distinct context text once per run: the English rules have
// about 700 contexts but fewer than a hundred distinct ones, and a compiled
// pattern is immutable, so rows with the same text can share it.
class ContextCompiler {
 public:
  const std::optional<Pattern>& Compile(const std::u16string& text) {
    auto found = compiled_.find(text);
    if (found == compiled_.end()) found = compiled_.emplace(text, Pattern::Compile(text)).first;
    return found->second;
  }

 private:
  std::map<std::u16string, std::optional<Pattern>, std::less<>> compiled_;
};

void CompileRows(RuleSet& rules) {
  ContextCompiler contexts;
  const std::int32_t lastRow = rules.RuleCount;
  for (std::int32_t i = 0; i <= lastRow; ++i) {
    if (i > kLastRuleRow) throw RuntimeError(error::kSubscriptOutOfRange);
    const auto row = static_cast<std::size_t>(i);
    RuleRow compiled = CompileRule(rules.RuleText[row]);
    // Contexts outside the pattern dialect are kept as written and only
    // refused when the matcher reaches their row.
    rules.contexts[row] = {contexts.Compile(compiled.leftContext), contexts.Compile(compiled.rightContext)};
    rules.RuleTable[row] = std::move(compiled);
  }
}

}  // namespace

void CompileRules(RuleSet& rules) {
  try {
    CompileRows(rules);
  } catch (...) {
    // Compiling stopped part way: the rows before the failing one are new,
    // the others keep what they held, and the index follows the table.
    rules.index.Rebuild(WalkedRows(rules));
    throw;
  }
  rules.index.Rebuild(WalkedRows(rules));
}

}  // namespace vantel::phonetics
