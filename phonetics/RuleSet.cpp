// Storing and compiling happen row by row, as the rules are numbered; a
// failure part way leaves the rows before it done and the others as they
// were. The automata of the contexts are built once every row is split.

#include "RuleSet.h"

#include <utility>

#include "CompiledRules.h"
#include "EnglishRules.h"
#include "RuleCompiler.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {

RuleSet::RuleSet() : compiled_(std::make_unique<CompiledRules>()) {}
RuleSet::~RuleSet() = default;
RuleSet::RuleSet(RuleSet&&) noexcept = default;
RuleSet& RuleSet::operator=(RuleSet&&) noexcept = default;

void RuleSet::StoreRules(std::span<const std::u16string_view> source) {
  const auto store = [this](std::u16string_view text) {
    if (count_ > kLastRuleRow) throw RuntimeError(error::kSubscriptOutOfRange);
    text_[static_cast<std::size_t>(count_)].assign(text);
  };
  count_ = 0;
  if (source.empty()) return;
  store(source.front());
  for (const std::u16string_view text : source.subspan(1)) {
    if (count_ == INT16_MAX) throw RuntimeError(error::kOverflow);
    ++count_;
    store(text);
  }
}

void RuleSet::LoadEnglishRules() { StoreRules(EnglishRules()); }

void RuleSet::CompileRules() {
  // Until a compile succeeds, no rule applies.
  *compiled_ = CompiledRules();
  const std::int32_t lastRow = count_;
  for (std::int32_t i = 0; i <= lastRow; ++i) {
    if (i > kLastRuleRow) throw RuntimeError(error::kSubscriptOutOfRange);
    const auto row = static_cast<std::size_t>(i);
    table_[row] = CompileRule(text_[row]);
  }
  if (lastRow >= 0) {
    *compiled_ = CompiledRules::Build(std::span<const RuleRow>(table_).first(static_cast<std::size_t>(lastRow) + 1));
  }
}

}  // namespace vantel::phonetics
