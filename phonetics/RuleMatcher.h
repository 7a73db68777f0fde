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

// The row of the first rule, in row order, whose key equals the first
// character of `remaining` (which must not be empty), whose letters begin
// `remaining` (further letters ignoring case), whose right context matches
// just after them and whose left context matches the end of `consumed`; -1
// when there is none. Throws RuntimeError (syntax error in regular
// expression) when a rule it reaches has a context outside the dialect.
inline std::int32_t ApplicableRow(const CompiledRules& compiled, std::u16string_view consumed,
                                  std::u16string_view remaining) {
  for (const RuleChunk& chunk : compiled.ChunksFor(remaining.front())) {
    const std::uint64_t right = WalkForward<Settle::kEvery>(chunk.right, remaining, 1, chunk.members);
    const std::uint64_t found = WalkBackward<Settle::kLowest>(chunk.left, consumed, consumed.size(), right);
    // A row with a context outside the dialect is refused once it is reached:
    // when no row before it applies. (All bits when nothing was found.)
    const std::uint64_t before = (found & (~found + 1)) - 1;
    if ((chunk.refused & before) != 0) throw RuntimeError(error::kRegexSyntax);
    if (found != 0) return chunk.rows[static_cast<std::size_t>(std::countr_zero(found))];
  }
  return -1;
}

// What the position contributes: the phonemes and letters of the rule that
// applies there, or without one the character itself with a letter count of
// 1; with `remaining` empty, no phonemes.
inline RuleMatch MatchRule(const RuleSet& rules, std::u16string_view consumed, std::u16string_view remaining) {
  if (remaining.empty()) return {{}, 1};
  const std::int32_t row = ApplicableRow(rules.compiled(), consumed, remaining);
  if (row < 0) return {remaining.substr(0, 1), 1};  // the character stands for itself
  const RuleSet::Output output = rules.OutputOf(static_cast<std::size_t>(row));
  return {output.phonemes, output.letterCount};
}

}  // namespace vantel::phonetics
