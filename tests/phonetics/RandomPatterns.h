// Random texts and random patterns of the whole context dialect (anchors
// anywhere, groups nested), for the agreement tests of the pattern engine
// and of the transcriber.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace vantel::phonetics::testing {

inline std::size_t Pick(std::mt19937& rng, std::size_t bound) { return static_cast<std::size_t>(rng() % bound); }

inline std::u16string RandomText(std::mt19937& rng, std::u16string_view alphabet, std::size_t maxLength) {
  std::u16string text;
  const std::size_t length = Pick(rng, maxLength + 1);
  for (std::size_t i = 0; i < length; ++i) text += alphabet[Pick(rng, alphabet.size())];
  return text;
}

// Up to four elements drawn from `chars` (literals, bracket classes with or
// without "+" or "*", anchors, and groups of up to three alternatives).
inline std::u16string RandomPattern(std::mt19937& rng, int depth, std::u16string_view chars = u"abAB'\u00e9 1") {
  std::u16string text;
  const std::size_t elements = Pick(rng, 5);
  for (std::size_t e = 0; e < elements; ++e) {
    const std::size_t kind = Pick(rng, 100);
    if (kind < 35) {
      text += chars[Pick(rng, chars.size())];
    } else if (kind < 70) {
      text += u'[';
      const std::size_t members = 1 + Pick(rng, 3);
      for (std::size_t m = 0; m < members; ++m) text += chars[Pick(rng, chars.size())];
      text += u']';
      const std::size_t quantifier = Pick(rng, 3);
      if (quantifier > 0) text += quantifier == 1 ? u'+' : u'*';
    } else if (kind < 80) {
      text += Pick(rng, 2) == 0 ? u'^' : u'$';
    } else if (depth < 3) {
      text += u'(';
      const std::size_t alternatives = 1 + Pick(rng, 3);
      for (std::size_t a = 0; a < alternatives; ++a) {
        if (a > 0) text += u'|';
        text += RandomPattern(rng, depth + 1, chars);
      }
      text += u')';
    }
  }
  return text;
}

}  // namespace vantel::phonetics::testing
