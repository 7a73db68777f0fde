#include "matching/Overlaps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "similarity/GestaltRatio.h"

namespace vantel::matching {
namespace {

using service::Combination;
using service::Floor;

constexpr Combination kCombinations[] = {Combination::Larger, Combination::Smaller, Combination::Mean,
                                         Combination::SoundOnly, Combination::SpellingOnly};

// The least overlap, the slow way: every M from 0 up.
std::uint8_t Slowly(Combination combination, const Floor& floor, Measure measure, double other, std::int32_t length1,
                    std::int32_t length2) {
  for (std::int32_t common = 0; common <= std::min(length1, length2); ++common) {
    const double ratio = similarity::RatioOfCommon(common, length1, length2);
    const double combined = measure == Measure::Sound ? service::Combine(combination, ratio, other)
                                                      : service::Combine(combination, other, ratio);
    if (floor.AdmitsRatio(combined)) return static_cast<std::uint8_t>(common);
  }
  return kNever;
}

TEST(LowestOverlap, IsTheLeastCountOfCommonCharactersThatPasses) {
  const Floor floors[] = {Floor(0),   Floor(50),     Floor(85),       Floor(85.5),    Floor(99.99),
                          Floor(100), Floor(100.01), Floor(60, 75.5), Floor(0, 99.99)};
  std::size_t never = 0;
  std::size_t between = 0;
  for (const Combination combination : kCombinations) {
    for (const Floor& floor : floors) {
      for (const Measure measure : {Measure::Sound, Measure::Spelling}) {
        for (const double other : {0.0, 0.5, 1.0}) {
          for (std::int32_t length1 = 0; length1 <= 72; length1 += 3) {
            for (std::int32_t length2 = 0; length2 <= 90; length2 += 1) {
              const std::uint8_t expected = Slowly(combination, floor, measure, other, length1, length2);
              ASSERT_EQ(LowestOverlap(combination, floor, measure, other, length1, length2), expected)
                  << static_cast<int>(combination) << " " << floor.threshold() << " " << length1 << " " << length2;
              never += expected == kNever;
              between += expected != kNever && expected > 0;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(never, 0u);
  EXPECT_GT(between, 0u);
}

// Every pair of lengths up to 24 against the definition: need[s] is the
// least sound overlap admitted with spelling overlap s, and a pair with less
// sound overlap is never admitted.
TEST(LowestSoundOverlaps, IsTheLeastSoundOverlapThatPassesWithEachSpellingOverlap) {
  const Floor floors[] = {Floor(0), Floor(50), Floor(75), Floor(85.5), Floor(100), Floor(100.01), Floor(60, 88.25)};
  std::size_t never = 0;
  std::size_t between = 0;
  std::vector<std::uint8_t> need(kLongestCounted + 1);
  for (const Floor& floor : floors) {
    for (std::int32_t text1 = 0; text1 <= 24; text1 += 2) {
      for (std::int32_t text2 = 0; text2 <= 24; text2 += 3) {
        for (std::int32_t form1 = 0; form1 <= 24; form1 += 3) {
          for (std::int32_t form2 = 0; form2 <= 24; form2 += 2) {
            LowestSoundOverlaps(Combination::Mean, floor, text1, text2, form1, form2, need.data());
            for (std::int32_t spelling = 0; spelling <= std::min(text1, text2); ++spelling) {
              std::uint8_t expected = kNever;
              for (std::int32_t sound = std::min(form1, form2); sound >= 0; --sound) {
                const double combined =
                    service::Combine(Combination::Mean, similarity::RatioOfCommon(sound, form1, form2),
                                     similarity::RatioOfCommon(spelling, text1, text2));
                if (floor.AdmitsRatio(combined)) expected = static_cast<std::uint8_t>(sound);
              }
              ASSERT_EQ(need[static_cast<std::size_t>(spelling)], expected)
                  << floor.threshold() << " " << text1 << " " << text2 << " " << form1 << " " << form2 << " "
                  << spelling;
              never += expected == kNever;
              between += expected != kNever && expected > 0;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(never, 0u);
  EXPECT_GT(between, 0u);
}

TEST(OverlapTable, HoldsTheLowestOverlapOfEveryPairOfLengths) {
  const Floor floor(85);
  const OverlapTable table(Combination::Mean, floor, Measure::Sound, 1.0, 40);
  EXPECT_EQ(table.longest(), 40);
  for (std::int32_t length1 = 0; length1 <= 40; ++length1) {
    for (std::int32_t length2 = 0; length2 <= 40; ++length2) {
      ASSERT_EQ(table.Row(length1)[length2],
                LowestOverlap(Combination::Mean, floor, Measure::Sound, 1.0, length1, length2));
    }
  }
  EXPECT_EQ(OverlapTable(Combination::Larger, floor, Measure::Sound, 0.0, 1000).longest(), kLongestCounted);
}

// What the scan relies on for each method: with the other measure at
// OtherMeasureFor(mode), a measure's verdicts combine as the mode says into
// one that a pair passing the floor always passes.
TEST(ScanMode, NeverRulesOutAPairThatCombineLetsPass) {
  std::vector<double> ratios;
  for (int numerator = 0; numerator <= 40; ++numerator) ratios.push_back(numerator / 40.0);
  for (const double ratio : {0.1, 0.2, 0.3, 2.0 / 3.0, 0.85, 0.8499999999999999}) ratios.push_back(ratio);
  for (const int number : {0, 1, 2, 3, 99, 7, -1}) {
    const auto method = static_cast<std::int16_t>(number);
    const Combination combination = service::CombinationFor(method);
    const ScanMode mode = ScanModeFor(combination);
    const double other = OtherMeasureFor(mode);
    for (const double sound : ratios) {
      for (const double spelling : ratios) {
        const double combined = service::Combine(combination, sound, spelling);
        const double bySound = service::Combine(combination, sound, other);
        const double bySpelling = service::Combine(combination, other, spelling);
        switch (mode) {
          case ScanMode::Spelling: ASSERT_LE(combined, bySpelling); break;
          case ScanMode::Sound: ASSERT_LE(combined, bySound); break;
          case ScanMode::Either: ASSERT_LE(combined, std::max(bySound, bySpelling)) << method; break;
          case ScanMode::Both: ASSERT_LE(combined, std::min(bySound, bySpelling)) << method; break;
        }
      }
    }
  }
  EXPECT_EQ(ScanModeFor(Combination::Larger), ScanMode::Either);
  EXPECT_EQ(ScanModeFor(Combination::Mean), ScanMode::Both);
  EXPECT_EQ(ScanModeFor(Combination::SpellingOnly), ScanMode::Spelling);
}

}  // namespace
}  // namespace vantel::matching
