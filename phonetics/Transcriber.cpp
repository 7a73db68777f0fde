// One matcher call a position, left to right. The phonemes gather in a
// buffer on the stack and go to the result a block at a time, so that the
// loop does not grow a string at every position.

#include "Transcriber.h"

#include <algorithm>
#include <array>

#include "RuleMatcher.h"

namespace vantel::phonetics {

void TranscribeWord(const RuleSet& rules, std::u16string_view word, std::u16string& result) {
  result.clear();
  std::array<char16_t, 128> buffer;
  std::size_t used = 0;
  std::size_t position = 0;
  // Once nothing remains, the matcher would find no rule and add nothing, so
  // the loop stops there.
  while (position < word.size()) {
    const RuleMatch match = MatchRule(rules, std::u16string_view(word.data(), position),
                                      std::u16string_view(word.data() + position, word.size() - position));
    if (match.phonemes.size() > buffer.size() - used) {
      result.append(buffer.data(), used);
      used = 0;
    }
    if (match.phonemes.size() > buffer.size()) {
      result.append(match.phonemes);
    } else {
      for (const char16_t unit : match.phonemes) buffer[used++] = unit;
    }
    position = std::min(word.size(), position + match.letterCount);
  }
  result.append(buffer.data(), used);
}

}  // namespace vantel::phonetics
