// Splits rule source strings at their three delimiters. Positions are 1-based
// and every delimiter is searched from the start of the whole rule, so a rule
// with a missing or misplaced delimiter asks for a negative number of
// characters somewhere and is refused. The fields are kept as offsets into
// the rule: each is a stretch of it, the phonemes without the spaces at
// either end.

#include "RuleCompiler.h"

#include <cstdint>
#include <limits>

#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

constexpr std::u16string_view kOpen = u" [[ ";
constexpr std::u16string_view kClose = u" ]] ";
constexpr std::u16string_view kArrow = u" -> ";
constexpr std::int64_t kDelimiterLength = RuleFields::kDelimiterLength;

// 1-based position of the first occurrence, 0 when absent.
std::int64_t PositionOf(std::u16string_view text, std::u16string_view delimiter) {
  const std::size_t found = text.find(delimiter);
  return found == std::u16string_view::npos ? 0 : static_cast<std::int64_t>(found) + 1;
}

// The `count` characters from 1-based `position` must be a valid request:
// neither may be negative, nor the position below 1.
void RequireCharacters(std::int64_t position, std::int64_t count) {
  if (count < 0 || position < 1) throw RuntimeError(error::kInvalidProcedureCall);
}

}  // namespace

RuleFields SplitRule(std::u16string_view rule) {
  // The texts of a rule set fit 32-bit offsets (RuleTexts).
  if (static_cast<std::uint64_t>(rule.size()) > std::numeric_limits<std::uint32_t>::max()) {
    throw RuntimeError(error::kOverflow);
  }
  const auto length = static_cast<std::int64_t>(rule.size());
  const std::int64_t open = PositionOf(rule, kOpen);
  const std::int64_t close = PositionOf(rule, kClose);
  const std::int64_t arrow = PositionOf(rule, kArrow);

  RequireCharacters(1, open - 1);
  RequireCharacters(open + kDelimiterLength, close - open - kDelimiterLength);
  RequireCharacters(close + kDelimiterLength, arrow - close - kDelimiterLength);
  // A rule without letters would consume nothing and stall the transcription.
  if (close - open - kDelimiterLength == 0) throw RuntimeError(error::kInvalidProcedureCall);

  // Each delimiter was found, in order, so every field lies within the rule.
  RuleFields fields{};
  fields.leftEnd = static_cast<std::uint32_t>(open - 1);
  fields.lettersEnd = static_cast<std::uint32_t>(close - 1);
  fields.rightEnd = static_cast<std::uint32_t>(arrow - 1);
  // The phonemes run from after the arrow to the end, trimmed of spaces.
  std::uint32_t begin = static_cast<std::uint32_t>(arrow - 1 + kDelimiterLength);
  auto end = static_cast<std::uint32_t>(length);
  while (begin < end && rule[begin] == u' ') ++begin;
  while (end > begin && rule[end - 1] == u' ') --end;
  fields.phonemesBegin = begin;
  fields.phonemesEnd = end;
  return fields;
}

}  // namespace vantel::phonetics
