// Storing and compiling happen row by row, as the rules are numbered; a
// failure part way leaves the rows before it done and the others as they
// were, and the key index always describes the table as it then stands.

#include "RuleSet.h"

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "CompiledRules.h"
#include "EnglishRules.h"
#include "RuleCompiler.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

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

}  // namespace

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
  // The matcher walks rows 0 to RuleCount, within the table.
  const auto reindex = [this] {
    const std::int32_t lastRow = std::min<std::int32_t>(count_, kLastRuleRow);
    compiled_->index.Rebuild(std::span<const RuleRow>(table_).first(static_cast<std::size_t>(lastRow) + 1));
  };
  ContextCompiler contexts;
  const std::int32_t lastRow = count_;
  try {
    for (std::int32_t i = 0; i <= lastRow; ++i) {
      if (i > kLastRuleRow) throw RuntimeError(error::kSubscriptOutOfRange);
      const auto row = static_cast<std::size_t>(i);
      RuleRow compiled = CompileRule(text_[row]);
      // Contexts outside the pattern dialect are kept as written and only
      // refused when the matcher reaches their row.
      compiled_->contexts[row] = {contexts.Compile(compiled.leftContext), contexts.Compile(compiled.rightContext)};
      table_[row] = std::move(compiled);
    }
  } catch (...) {
    reindex();
    throw;
  }
  reindex();
}

}  // namespace vantel::phonetics
