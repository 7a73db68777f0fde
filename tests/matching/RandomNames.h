// Random lists of name-like strings for the matching tests: spelling variants
// of a few stems, so that many pairs are alike, with case changes, non-ASCII
// letters, punctuation and repeats among them. Deterministic for a seed.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vantel::matching::testing {

inline std::vector<std::u16string> RandomNames(std::uint32_t seed, std::size_t count) {
  static const std::u16string kStems[] = {u"smith", u"catherine", u"jon",    u"philips", u"mcdonald",
                                          u"aaron", u"knight",    u"o'neil", u"lee",     u"baker",
                                          u"x",     u"phone",     u"ann",    u"zoe",     u"\u0142ukasz"};
  static const std::u16string kLetters = u"aeiouybcdfghjklmnpqrstvwxz'- \u00e9\u00c9";
  std::mt19937 random(seed);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };

  std::vector<std::u16string> names;
  names.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!names.empty() && pick(10) == 0) {  // an exact repeat of an earlier string
      names.push_back(names[pick(names.size())]);
      continue;
    }
    std::u16string name = kStems[pick(std::size(kStems))];
    if (pick(3) == 0) name += u' ' + kStems[pick(std::size(kStems))];
    for (std::size_t edits = pick(4); edits > 0 && !name.empty(); --edits) {
      const std::size_t at = pick(name.size());
      const char16_t letter = kLetters[pick(kLetters.size())];
      switch (pick(5)) {
        case 0: name[at] = letter; break;
        case 1: name.insert(at, 1, letter); break;
        case 2:
          if (name.size() > 1) name.erase(at, 1);
          break;
        case 3: name.insert(at, 1, name[at]); break;  // a doubled letter
        default:
          if (name[at] >= u'a' && name[at] <= u'z') name[at] = static_cast<char16_t>(name[at] - u'a' + u'A');
      }
    }
    if (pick(2) == 0 && name[0] >= u'a' && name[0] <= u'z') name[0] = static_cast<char16_t>(name[0] - u'a' + u'A');
    names.push_back(name);
  }
  return names;
}

}  // namespace vantel::matching::testing
