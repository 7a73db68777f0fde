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

constexpr std::int64_t kDelimiterLength = RuleFields::kDelimiterLength;

// 1-based positions of the first occurrences of " [[ ", " ]] " and " -> ",
// 0 for one that is absent, found in one pass: each delimiter is a space,
// two characters of its own and a space.
struct Delimiters {
  std::int64_t open = 0, close = 0, arrow = 0;
};

Delimiters FindDelimiters(std::u16string_view rule) noexcept {
  Delimiters found;
  if (rule.size() < 4) return found;
  const char16_t* const begin = rule.data();
  const char16_t* const last = begin + rule.size() - 4;  // the last place a delimiter can start
  for (const char16_t* at = begin; at <= last; ++at) {
    if (*at != u' ' || at[3] != u' ') continue;
    std::int64_t* position = nullptr;
    if (at[1] == u'[' && at[2] == u'[') position = &found.open;
    if (at[1] == u']' && at[2] == u']') position = &found.close;
    if (at[1] == u'-' && at[2] == u'>') position = &found.arrow;
    if (position != nullptr && *position == 0) *position = (at - begin) + 1;
  }
  return found;
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
  const auto [open, close, arrow] = FindDelimiters(rule);

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
