#include "Transcriber.h"

#include <algorithm>

#include "RuleMatcher.h"

namespace vantel::phonetics {

void TranscribeWord(const RuleSet& rules, std::u16string_view word, std::u16string& result) {
  result.clear();
  std::size_t position = 0;
  // Once nothing remains, the matcher would find no rule and add nothing, so
  // the loop stops there.
  while (position < word.size()) {
    const RuleMatch match = MatchRule(rules, word.substr(0, position), word.substr(position));
    result.append(match.phonemes);
    position = std::min(word.size(), position + match.letterCount);
  }
}

}  // namespace vantel::phonetics
