#include "service/Scorer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

namespace vantel::service {
namespace {

// Two worked examples whose measures are known. cat and kat both sound
// "kat" (sound 1) and share "at" in spelling (2/3). For Cat and cat the
// capital C has no rule, so the forms "Cat" and "kat" share "at" (sound 2/3),
// while the spelling ignores case (1).
const PreparedString kCat{u"cat", u"kat"};
const PreparedString kKat{u"kat", u"kat"};
const PreparedString kCapitalCat{u"Cat", u"Cat"};

struct MethodAnswers {
  std::int16_t method;
  double catKat, capitalCatCat;
};

double ScoreOf(std::int16_t method, const PreparedString& first, const PreparedString& second) {
  similarity::CodeArrays scratch;
  Scorer scorer(method, scratch);
  scorer.SetQuery(first);
  return scorer.Score(second);
}

TEST(Scorer, AnswersTheWorkedExamplesForEveryMethod) {
  // 3 the sound alone, 99 the spelling alone, 1 the smaller, 2 the mean, and
  // every other number the larger.
  const MethodAnswers listed[] = {{1, 66.66, 66.66}, {2, 83.33, 83.33}, {3, 100, 66.66}, {99, 66.66, 100}};
  for (int method = INT16_MIN; method <= INT16_MAX; ++method) {
    MethodAnswers expected{static_cast<std::int16_t>(method), 100, 100};
    for (const MethodAnswers& answers : listed) {
      if (answers.method == method) expected = answers;
    }
    ASSERT_EQ(ScoreOf(expected.method, kCat, kKat), expected.catKat) << "method " << method;
    ASSERT_EQ(ScoreOf(expected.method, kCapitalCat, kCat), expected.capitalCatCat) << "method " << method;
  }
}

TEST(Scorer, ReadsNoPhoneticFormForTheSpellingAlone) {
  // The forms are nonsense on purpose: method 99 must not look at them.
  EXPECT_EQ(ScoreOf(99, {u"Smith", u"zzz"}, {u"smyth", u"qqq"}), 80);
  EXPECT_EQ(ScoreOf(3, {u"Smith", u"smiz"}, {u"smyth", u"smiz"}), 100);
}

TEST(Scorer, StopsBelowAFloorAndOtherwiseAnswersAsWithout) {
  similarity::CodeArrays scratch;
  Scorer mean(2, scratch);
  mean.SetQuery(kCat);
  EXPECT_EQ(mean.Score(kKat, Floor(83.33), 1.0), 83.33);
  EXPECT_EQ(mean.Score(kKat, Floor(83.34), 1.0), std::nullopt);
  EXPECT_EQ(mean.Score(kKat, Floor(0, 83.33), 1.0), std::nullopt);  // must beat a displaced answer outright
  // With the spelling bounded by 1/2, sound 1 can reach a mean of 3/4 at most.
  EXPECT_EQ(mean.Score(kKat, Floor(75.01), 0.5), std::nullopt);
  EXPECT_EQ(mean.Score(kKat, Floor(75), 0.5), 83.33);
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

TEST(Floor, KeepsTheThresholdAndBeatsTheDisplacedAnswer) {
  EXPECT_TRUE(Floor(80).Admits(80));
  EXPECT_FALSE(Floor(80).Admits(79.99));
  EXPECT_TRUE(Floor(0).Admits(0));
  EXPECT_TRUE(Floor().Admits(0));
  EXPECT_FALSE(Floor(80, 90).Admits(90));  // a tie goes to the earlier candidate
  EXPECT_TRUE(Floor(80, 90).Admits(90.01));
  EXPECT_FALSE(Floor(95, 90).Admits(92));
  Floor floor(80);
  floor.Displace(85);
  EXPECT_FALSE(floor.Admits(85));
  EXPECT_TRUE(floor.AdmitsRatio(0.8501));
  EXPECT_FALSE(floor.AdmitsRatio(0.85));
}

// A ratio is admitted exactly when its answer would be, down to the last bit.
TEST(Floor, AdmitsARatioExactlyWhenItAdmitsItsAnswer) {
  const Floor floors[] = {Floor(0),   Floor(50),    Floor(66.66), Floor(68.8),   Floor(85.5),
                          Floor(100), Floor(100.5), Floor(0, 0),  Floor(80, 90), Floor(0, 100)};
  for (const Floor& floor : floors) {
    SCOPED_TRACE(::testing::Message() << floor.threshold() << "/" << floor.displaced());
    for (int k = 0; k <= 200000; ++k) {
      const double ratio = k / 200000.0;
      ASSERT_EQ(floor.AdmitsRatio(ratio), floor.Admits(ToPercentage(ratio))) << ratio;
    }
    for (const double edge : {86.0 / 125.0, 2.0 / 3.0, 0.855, 0.9, 1.0}) {
      for (const double ratio : {std::nextafter(edge, 0.0), edge, std::nextafter(edge, 1.0)}) {
        if (ratio > 1.0) continue;
        ASSERT_EQ(floor.AdmitsRatio(ratio), floor.Admits(ToPercentage(ratio))) << ratio;
      }
    }
  }
  // The double nearest 86/125 (and 0.688) lies just below 0.688 and its answer
  // is 68.79: not admitted at 68.8, unlike the next double up.
  EXPECT_FALSE(Floor(68.8).AdmitsRatio(86.0 / 125.0));
  EXPECT_TRUE(Floor(68.8).AdmitsRatio(std::nextafter(86.0 / 125.0, 1.0)));
}

}  // namespace
}  // namespace vantel::service
