// Finds the rule that applies at one position of a word.
#pragma once

#include <cstddef>
#include <string_view>

#include "RuleSet.h"

namespace vantel::phonetics {

struct RuleMatch {
  std::u16string_view phonemes;  // what the position contributes to the phonetic form
  std::size_t letterCount;       // how many characters it covers (at least 1)
};

// The first rule, in row order, whose key equals the first character of
// `remaining`, whose letters begin `remaining` (further letters ignoring
// case), whose right context matches just after them and whose left context
// matches the end of `consumed`. Without one, the character itself with a
// letter count of 1; with `remaining` empty, no phonemes.
// Throws RuntimeError (syntax error in regular expression) when a rule it
// reaches has a context outside the pattern dialect.
RuleMatch MatchRule(const RuleSet& rules, std::u16string_view consumed, std::u16string_view remaining);

}  // namespace vantel::phonetics
