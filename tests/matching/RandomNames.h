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

// Lists that stress the matcher's layout more than its bounds: many copies
// of a few strings (ties everywhere), many strings of one length, letters
// outside ASCII and outside the Basic Multilingual Plane (surrogate pairs,
// and a lone surrogate), strings of 1 unit and of 70, the longest compared.
inline std::vector<std::u16string> MixedNames(std::uint32_t seed, std::size_t count) {
  static const std::u16string kFixed[] = {u"a",
                                          u"A",
                                          u"\u00e9",
                                          u"\U0001F600",
                                          u"\xD83D",  // 1 or 2 units; the last a lone high surrogate
                                          u"Zo\u00eb \u0141ukasz",
                                          u"\u0416\u0443\u043a\u043e\u0432",
                                          u"\u03b1\u03b2\u03b3\u03b4",
                                          u"\U0001D518\U0001D51E\U0001D52B",
                                          u"M\u00fcller",
                                          u"Mueller",
                                          u"Muller"};
  static const std::u16string kEight[] = {u"Jonathan", u"Jonathon", u"Johnatan", u"Stefanie", u"Stephany",
                                          u"Kathleen", u"Cathleen", u"Margaret", u"Marjorie", u"Brittany"};
  std::mt19937 random(seed);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const auto longest = [&]() {
    std::u16string name;
    while (name.size() < 70) name += kEight[pick(std::size(kEight))] + u' ';
    name.resize(68);
    name += pick(2) == 0 ? std::u16string(u"\U0001F600") : std::u16string(u"zz");  // 70 units either way
    return name;
  };
  const auto names = RandomNames(seed, count);
  std::vector<std::u16string> mixed;
  mixed.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    switch (pick(8)) {
      case 0: mixed.push_back(kFixed[pick(std::size(kFixed))]); break;
      case 1: mixed.push_back(kEight[pick(3)]); break;  // many equal strings, all of one length
      case 2: mixed.push_back(kEight[pick(std::size(kEight))]); break;
      case 3: mixed.push_back(longest()); break;
      default: mixed.push_back(names[i]);
    }
  }
  return mixed;
}

}  // namespace vantel::matching::testing
