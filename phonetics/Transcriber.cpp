// One matcher call a position, left to right. The phonemes gather in a
// buffer on the stack and go to the result a block at a time, so that the
// loop does not grow a string at every position; a rule's phonemes (rarely
// more than a few units) are copied as one block of RuleTexts::kSpareUnits
// units, which the buffer of the rule texts always has room for.

#include "Transcriber.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "RuleMatcher.h"

namespace vantel::phonetics {

void TranscribeWord(const RuleSet& rules, std::u16string_view word, std::u16string& result) {
  constexpr std::size_t kBlock = RuleTexts::kSpareUnits;
  result.clear();
  std::array<char16_t, 128 + kBlock> buffer;
  constexpr std::size_t kFlushAt = buffer.size() - kBlock;  // room for a block at any `used` below it
  std::size_t used = 0;
  std::size_t position = 0;
  // Once nothing remains, the matcher would find no rule and add nothing, so
  // the loop stops there.
  while (position < word.size()) {
    const std::u16string_view remaining(word.data() + position, word.size() - position);
    const std::int32_t row = ApplicableRow(rules.compiled(), std::u16string_view(word.data(), position), remaining);
    if (used >= kFlushAt) {
      result.append(buffer.data(), used);
      used = 0;
    }
    if (row < 0) {
      buffer[used++] = remaining.front();  // no rule: the character stands for itself
      ++position;
      continue;
    }
    const RuleSet::Output output = rules.OutputOf(static_cast<std::size_t>(row));
    if (output.phonemes.size() <= kBlock) {
      std::memcpy(buffer.data() + used, output.phonemes.data(), kBlock * sizeof(char16_t));
      used += output.phonemes.size();
    } else {
      result.append(buffer.data(), used).append(output.phonemes);
      used = 0;
    }
    position = std::min(word.size(), position + output.letterCount);
  }
  result.append(buffer.data(), used);
}

}  // namespace vantel::phonetics
