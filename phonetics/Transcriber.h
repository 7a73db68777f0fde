// Turns a word into its phonetic form by applying the rules left to right.
#pragma once

#include <string>
#include <string_view>

#include "RuleSet.h"

namespace vantel::phonetics {

// Replaces `result` with the phonetic form of `word`: the phonemes of the rule
// that applies at each position, joined with no separator, and every character
// that no rule covers copied as it is. `rules` must be compiled.
void TranscribeWord(const RuleSet& rules, std::u16string_view word, std::u16string& result);

}  // namespace vantel::phonetics
