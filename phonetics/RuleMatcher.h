// Finds the rule that applies at one position of a word.
//
// The rule that applies is the first row, in row order, whose key equals the
// current character, whose further letters and right context match the
// remaining text after the key and whose left context matches the end of the
// consumed text. Rather than testing those rows one by one, the matcher takes
// the rows of the key 64 at a time and makes two walks (ContextWalk.h): one
// forwards over the remaining text, which answers for the further letters
// and right contexts of all of them at once (the letters alone settle most
// rows within a character or two), then one backwards over the consumed text
// for the left contexts of the rows that passed, which stops as soon as the
// lowest of them that matches is known. The lowest bit of that answer is the
// row that applies. Neither walk reads a character more than once.
//
// It is inline, so that the transcriber's loop over the positions of a word
// does not pay a call for each.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "CompiledRules.h"
#include "ContextWalk.h"
#include "RuleSet.h"
#include "vantel/Errors.h"

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
inline RuleMatch MatchRule(const RuleSet& rules, std::u16string_view consumed, std::u16string_view remaining) {
  if (remaining.empty()) return {{}, 1};
  for (const RuleChunk& chunk : rules.compiled().ChunksFor(remaining.front())) {
    const std::uint64_t right = WalkForward<Settle::kEvery>(chunk.right, remaining, 1, chunk.members);
    const std::uint64_t found = WalkBackward<Settle::kLowest>(chunk.left, consumed, consumed.size(), right);
    // A row with a context outside the dialect is refused once it is reached:
    // when no row before it applies. (All bits when nothing was found.)
    const std::uint64_t before = (found & (~found + 1)) - 1;
    if ((chunk.refused & before) != 0) throw RuntimeError(error::kRegexSyntax);
    if (found != 0) {
      const auto row = static_cast<std::size_t>(chunk.rows[static_cast<std::size_t>(std::countr_zero(found))]);
      const RuleRow& rule = rules.RuleTable()[row];
      return {rule.phonemes, rule.letters.size()};
    }
  }
  // No rule: the character stands for itself.
  return {remaining.substr(0, 1), 1};
}

}  // namespace vantel::phonetics
