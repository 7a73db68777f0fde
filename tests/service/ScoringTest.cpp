#include "service/Scoring.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vantel::service {
namespace {

TEST(CombinationFor, ChoosesForEverySixteenBitMethod) {
  for (int method = INT16_MIN; method <= INT16_MAX; ++method) {
    const Combination expected = method == 1    ? Combination::Smaller
                                 : method == 2  ? Combination::Mean
                                 : method == 3  ? Combination::SoundOnly
                                 : method == 99 ? Combination::SpellingOnly
                                                : Combination::Larger;
    ASSERT_EQ(CombinationFor(static_cast<std::int16_t>(method)), expected) << "method " << method;
  }
}

TEST(CombinationFor, TellsWhichMeasuresAreNeeded) {
  EXPECT_TRUE(NeedsSound(Combination::SoundOnly));
  EXPECT_FALSE(NeedsSpelling(Combination::SoundOnly));
  EXPECT_FALSE(NeedsSound(Combination::SpellingOnly));
  EXPECT_TRUE(NeedsSpelling(Combination::SpellingOnly));
  for (const Combination both : {Combination::Larger, Combination::Smaller, Combination::Mean}) {
    EXPECT_TRUE(NeedsSound(both) && NeedsSpelling(both));
  }
}

TEST(Combine, PicksOrAveragesTheMeasures) {
  struct Case {
    Combination combination;
    double sound, spelling, expected;
  } const cases[] = {
      {Combination::Larger, 1.0, 2.0 / 3.0, 1.0},
      {Combination::Larger, 0.25, 0.5, 0.5},
      {Combination::Smaller, 1.0, 2.0 / 3.0, 2.0 / 3.0},
      {Combination::Smaller, 0.4, 0.4, 0.4},
      {Combination::Mean, 1.0, 2.0 / 3.0, (1.0 + 2.0 / 3.0) / 2.0},
      {Combination::SoundOnly, 0.3, 0.9, 0.3},
      {Combination::SpellingOnly, 0.3, 0.9, 0.9},
  };
  for (const Case& c : cases) EXPECT_EQ(Combine(c.combination, c.sound, c.spelling), c.expected);
}

TEST(ToPercentage, CutsToTwoDecimals) {
  struct Case {
    double ratio, expected;
  } const cases[] = {
      {1.0, 100.0},
      {0.0, 0.0},
      {2.0 / 3.0, 66.66},  // cut, not rounded to 66.67
      {(1.0 + 2.0 / 3.0) / 2.0, 83.33},
      {86.0 / 125.0, 68.79},   // just below 0.688: the product rounds below 6880
      {102.0 / 125.0, 81.59},  // likewise just below 0.816
      {0.5, 50.0},
      {7.0 / 9.0, 77.77},
  };
  for (const Case& c : cases) EXPECT_EQ(ToPercentage(c.ratio), c.expected) << c.ratio;
}

TEST(IsComparableLength, AcceptsOneToSeventyUnits) {
  EXPECT_FALSE(IsComparableLength(u""));
  EXPECT_TRUE(IsComparableLength(u"a"));
  EXPECT_TRUE(IsComparableLength(std::u16string(70, u'x')));
  EXPECT_FALSE(IsComparableLength(std::u16string(71, u'x')));
  EXPECT_TRUE(IsComparableLength(std::u16string(35, u'\xd83d')));  // units, not code points
}

}  // namespace
}  // namespace vantel::service
