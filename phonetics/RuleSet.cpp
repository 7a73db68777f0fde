// Storing and compiling happen row by row, as the rules are numbered; a
// failure part way leaves the rows before it done and the others as they
// were. The automata of the contexts are built once every row is split.
//
// Only the automata are ever shared, and only those of the built-in English
// rules: when the text just compiled is exactly that of the built-in rules,
// the rule set takes the automata that the first such compile in the process
// built (a function-local static, so built once, under the language's own
// guard, and read without a lock afterwards). They are immutable, and built
// from the same text they would be built from privately, so no answer can
// tell the difference. Every rule set still stores and splits its own text.

#include "RuleSet.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "CompiledRules.h"
#include "EnglishRules.h"
#include "RuleCompiler.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

std::u16string_view SlotOf(const std::shared_ptr<const RuleTexts>& texts, std::size_t slot) {
  return texts ? (*texts)[slot] : std::u16string_view();
}

std::shared_ptr<const CompiledRules> NoRules() {
  static const auto none = std::make_shared<const CompiledRules>();
  return none;
}

std::shared_ptr<const CompiledRules> EnglishAutomata() {
  static const auto english = [] {
    std::vector<RuleRow> rows;
    for (const std::u16string_view rule : EnglishRules()) rows.push_back(SplitRule(rule).In(rule));
    return std::make_shared<const CompiledRules>(CompiledRules::Build(rows));
  }();
  return english;
}

// Rows 0 to `lastRow` of `texts` are the built-in English rules.
bool IsEnglish(const RuleTexts& texts, std::int32_t lastRow) {
  const std::span<const std::u16string_view> english = EnglishRules();
  if (lastRow + 1 != static_cast<std::int32_t>(english.size())) return false;
  for (std::size_t row = 0; row < english.size(); ++row) {
    const std::u16string_view stored = texts[row];
    if (stored.size() != english[row].size() ||
        std::memcmp(stored.data(), english[row].data(), stored.size() * sizeof(char16_t)) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

void RuleTexts::Reserve(std::uint64_t units, std::size_t count) {
  if (units > UINT32_MAX) throw RuntimeError(error::kOverflow);
  chars_.assign(static_cast<std::size_t>(units) + kSpareUnits, u'\0');
  ends_.reserve(count);
}

void RuleTexts::Append(std::u16string_view text) noexcept {
  const std::uint32_t begin = ends_.empty() ? 0 : ends_.back();
  if (!text.empty()) std::memcpy(chars_.data() + begin, text.data(), text.size() * sizeof(char16_t));
  ends_.push_back(begin + static_cast<std::uint32_t>(text.size()));
}

RuleSet::RuleSet() : compiled_(NoRules()) {}
RuleSet::~RuleSet() = default;
RuleSet::RuleSet(RuleSet&&) noexcept = default;
RuleSet& RuleSet::operator=(RuleSet&&) noexcept = default;

void RuleSet::StoreRules(std::span<const std::u16string_view> source) {
  count_ = 0;
  if (source.empty()) return;
  const std::size_t stored = std::min(source.size(), kRuleRows);
  const std::shared_ptr<const RuleTexts> old = text_;
  const std::size_t slots = std::max(stored, old ? old->size() : 0);
  text_ = RuleTexts::Make(slots, [&](std::size_t slot) { return slot < stored ? source[slot] : SlotOf(old, slot); });
  if (source.size() > kRuleRows) {
    count_ = kLastRuleRow + 1;
    throw RuntimeError(error::kSubscriptOutOfRange);
  }
  count_ = static_cast<std::int16_t>(stored - 1);
}

void RuleSet::LoadEnglishRules() { StoreRules(EnglishRules()); }

void RuleSet::CompileRules() {
  // Until a compile succeeds, no rule applies.
  compiled_ = NoRules();
  const std::int32_t lastRow = count_;
  std::vector<RuleFields> compiled;
  compiled.reserve(static_cast<std::size_t>(std::clamp<std::int32_t>(lastRow + 1, 0, kLastRuleRow + 1)));
  try {
    for (std::int32_t i = 0; i <= lastRow; ++i) {
      if (i > kLastRuleRow) throw RuntimeError(error::kSubscriptOutOfRange);
      compiled.push_back(SplitRule(SlotOf(text_, static_cast<std::size_t>(i))));
    }
  } catch (...) {
    KeepCompiled(std::move(compiled));
    throw;
  }
  KeepCompiled(std::move(compiled));
  if (lastRow < 0) return;
  if (IsEnglish(*text_, lastRow)) {
    compiled_ = EnglishAutomata();
    return;
  }
  std::vector<RuleRow> rows;
  rows.reserve(static_cast<std::size_t>(lastRow) + 1);
  for (std::size_t row = 0; row <= static_cast<std::size_t>(lastRow); ++row) rows.push_back(RuleTable()[row]);
  compiled_ = std::make_shared<const CompiledRules>(CompiledRules::Build(rows));
}

// Rows 0 to compiled.size() - 1 now come from RuleText; the rows after them
// keep what they held, text included.
void RuleSet::KeepCompiled(std::vector<RuleFields>&& compiled) {
  const std::size_t fresh = compiled.size();
  if (fresh >= rows_.size()) {
    rows_ = std::move(compiled);
    tableText_ = rows_.empty() ? nullptr : text_;
    return;
  }
  if (fresh == 0) return;
  const std::shared_ptr<const RuleTexts> old = tableText_;
  tableText_ = RuleTexts::Make(
      rows_.size(), [&](std::size_t slot) { return slot < fresh ? SlotOf(text_, slot) : SlotOf(old, slot); });
  std::copy(compiled.begin(), compiled.end(), rows_.begin());
}

}  // namespace vantel::phonetics
