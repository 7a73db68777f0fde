// Rules are tried in row order among those whose key is the current
// character; the key index only skips rows whose key differs, which could
// never apply. A row's contexts were compiled with the rules, so a test here
// is a run of a prepared automaton and never parses anything.

#include "RuleMatcher.h"

#include "CompiledRules.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

constexpr char16_t FoldAscii(char16_t unit) noexcept {
  return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

// The key (the first letter) has already been compared exactly; the further
// letters are compared ignoring the case of ASCII letters.
bool BeginsWithLetters(std::u16string_view remaining, std::u16string_view letters) noexcept {
  if (letters.size() > remaining.size()) return false;
  for (std::size_t i = 1; i < letters.size(); ++i) {
    if (FoldAscii(remaining[i]) != FoldAscii(letters[i])) return false;
  }
  return true;
}

}  // namespace

RuleMatch MatchRule(const RuleSet& rules, std::u16string_view consumed, std::u16string_view remaining) {
  if (remaining.empty()) return {{}, 1};
  const CompiledRules& compiled = rules.compiled();
  for (const std::int16_t row : compiled.index.RowsFor(remaining.front())) {
    const auto at = static_cast<std::size_t>(row);
    const CompiledContexts& contexts = compiled.contexts[at];
    if (!contexts.left || !contexts.right) throw RuntimeError(error::kRegexSyntax);
    const RuleRow& rule = rules.RuleTable()[at];
    if (BeginsWithLetters(remaining, rule.letters) && contexts.right->MatchesAt(remaining, rule.letters.size()) &&
        contexts.left->MatchesEndingAt(consumed, consumed.size())) {
      return {rule.phonemes, rule.letters.size()};
    }
  }
  // No rule: the character stands for itself.
  return {remaining.substr(0, 1), 1};
}

}  // namespace vantel::phonetics
