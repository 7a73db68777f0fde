// Word splitting and lower case without ICU, so that word order and aliases
// work in every build. Only the scripts that carry case matter for names.

#include "Words.h"

#include <algorithm>

#include "vantel/NameForms.h"

namespace vantel {
namespace names {

namespace {

bool IsSeparator(char16_t unit) noexcept { return unit == u' ' || unit == u',' || unit == u'-'; }

}  // namespace

std::vector<WordSpan> SplitWords(std::u16string_view text) {
  std::vector<WordSpan> words;
  std::size_t position = 0;
  while (position < text.size()) {
    while (position < text.size() && IsSeparator(text[position])) ++position;
    const std::size_t start = position;
    while (position < text.size() && !IsSeparator(text[position])) ++position;
    if (position > start) words.push_back({start, position - start});
  }
  return words;
}

char16_t LowerCase(char16_t unit) noexcept {
  const auto shifted = [unit](int by) { return static_cast<char16_t>(unit + by); };
  if (unit < 0x80) return unit >= u'A' && unit <= u'Z' ? shifted(0x20) : unit;
  // Latin-1: À to Þ except the multiplication sign.
  if (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7) return shifted(0x20);
  // Latin Extended-A pairs each capital with the small letter after it,
  // from Ā to ķ and from Ŋ to ŷ; from Ĺ to ň and from Ź to ž the capital
  // has the odd code.
  if ((unit >= 0x100 && unit <= 0x137) || (unit >= 0x14A && unit <= 0x177)) {
    return unit % 2 == 0 ? shifted(1) : unit;
  }
  if ((unit >= 0x139 && unit <= 0x148) || (unit >= 0x179 && unit <= 0x17E)) {
    return unit % 2 == 1 ? shifted(1) : unit;
  }
  if (unit == 0x178) return 0xFF;  // Ÿ
  // Greek capitals Α to Ω (0x3A2 is unassigned) and the accented ones.
  if (unit >= 0x391 && unit <= 0x3AB && unit != 0x3A2) return shifted(0x20);
  if (unit == 0x386) return 0x3AC;
  if (unit >= 0x388 && unit <= 0x38A) return shifted(0x25);
  if (unit == 0x38C) return 0x3CC;
  if (unit == 0x38E || unit == 0x38F) return shifted(0x3F);
  // Cyrillic: Ѐ to Џ, then А to Я.
  if (unit >= 0x400 && unit <= 0x40F) return shifted(0x50);
  if (unit >= 0x410 && unit <= 0x42F) return shifted(0x20);
  return unit;
}

std::u16string LowerCase(std::u16string_view text) {
  std::u16string lower(text);
  for (char16_t& unit : lower) unit = LowerCase(unit);
  return lower;
}

}  // namespace names

std::vector<std::u16string> NameWords(std::u16string_view text) {
  std::vector<std::u16string> words;
  for (const names::WordSpan& word : names::SplitWords(text)) words.emplace_back(text.substr(word.start, word.length));
  return words;
}

std::u16string SortedWords(std::u16string_view text) {
  std::vector<std::u16string> words;
  for (const names::WordSpan& word : names::SplitWords(text)) {
    words.push_back(names::LowerCase(text.substr(word.start, word.length)));
  }
  std::sort(words.begin(), words.end());
  std::u16string sorted;
  for (const std::u16string& word : words) {
    if (!sorted.empty()) sorted += u' ';
    sorted += word;
  }
  return sorted;
}

}  // namespace vantel
