#include "phonetics/EnglishRules.h"
#include "phonetics/RuleSet.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

void StoreRow(RuleSet& rules, std::int32_t row, std::u16string_view text) {
  if (row < 0 || row > kLastRuleRow) throw RuntimeError(error::kSubscriptOutOfRange);
  rules.RuleText[static_cast<std::size_t>(row)].assign(text);
}

}  // namespace

void StoreRules(RuleSet& rules, std::span<const std::u16string_view> source) {
  rules.RuleCount = 0;
  if (source.empty()) return;
  StoreRow(rules, 0, source.front());
  for (const std::u16string_view text : source.subspan(1)) {
    if (rules.RuleCount == INT16_MAX) throw RuntimeError(error::kOverflow);
    ++rules.RuleCount;
    StoreRow(rules, rules.RuleCount, text);
  }
}

void LoadEnglishRules(RuleSet& rules) { StoreRules(rules, EnglishRules()); }

}  // namespace vantel::phonetics
