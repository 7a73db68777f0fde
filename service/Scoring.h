// What a method number asks for, and how the two measures become the answer.
// Pure functions shared by CompareUS and by bulk matching, so that both give
// the same answer for the same pair.
#pragma once

#include <cstdint>
#include <string_view>

#include "vantel/CompareUS.h"

namespace vantel::service {

enum class Combination : std::uint8_t { Larger, Smaller, Mean, SoundOnly, SpellingOnly };

// 1 smaller, 2 mean, 3 sound only, 99 spelling only; 0 and every other value larger.
constexpr Combination CombinationFor(std::int16_t LaMethode) noexcept {
  switch (LaMethode) {
    case 1: return Combination::Smaller;
    case 2: return Combination::Mean;
    case 3: return Combination::SoundOnly;
    case 99: return Combination::SpellingOnly;
    default: return Combination::Larger;
  }
}

constexpr bool NeedsSound(Combination combination) noexcept { return combination != Combination::SpellingOnly; }
constexpr bool NeedsSpelling(Combination combination) noexcept { return combination != Combination::SoundOnly; }

// Strings of 1 to 70 UTF-16 code units are compared; others get the answer -1.
constexpr bool IsComparableLength(std::u16string_view text) noexcept {
  return !text.empty() && text.size() <= CompareUS::kMaxLength;
}

// The combined ratio of the sound and spelling measures (a measure that the
// combination does not need is ignored).
double Combine(Combination combination, double sound, double spelling) noexcept;

// A ratio from 0 to 1 as a percentage cut (not rounded) to two decimals: the
// floor of the ratio times 10000, divided by 100, each step rounded to double.
double ToPercentage(double ratio) noexcept;

}  // namespace vantel::service
