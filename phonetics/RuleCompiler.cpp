// Splits rule source strings at their three delimiters. Positions are 1-based
// and every delimiter is searched from the start of the whole rule, so a rule
// with a missing or misplaced delimiter asks for a negative number of
// characters somewhere and is refused.

#include "RuleCompiler.h"

#include <cstdint>

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

}  // namespace

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

}  // namespace vantel::phonetics
