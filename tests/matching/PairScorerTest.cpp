#include "matching/PairScorer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "similarity/GestaltRatio.h"
#include "tests/matching/RandomNames.h"
#include "vantel/CompareUS.h"

namespace vantel::matching {
namespace {

constexpr std::int16_t kMethods[] = {0, 1, 2, 3, 99};

TEST(RatioWithCommon, IsTheRatioOfThatManyCommonCharacters) {
  struct Case {
    std::int32_t common, length1, length2;
    double expected;
  } const cases[] = {
      {7, 9, 9, 7.0 / 9.0},        // WIKIMEDIA and WIKIMANIA
      {43, 60, 65, 86.0 / 125.0},  // the double just below 0.688, as SimilarityRatio gives it
      {0, 3, 3, 0.0},
      {5, 5, 5, 1.0},
      {9, 3, 5, 0.75},  // more than the shorter length is cut to it
      {0, 0, 0, 1.0},   // two empty strings are equal
      {0, 0, 4, 0.0},
      {4, 4, 0, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RatioWithCommon(c.common, c.length1, c.length2), c.expected) << c.common << "/" << c.length1;
  }
  const std::u16string a43(43, u'a');
  EXPECT_EQ(RatioWithCommon(43, 60, 65),
            similarity::SimilarityRatio(a43 + std::u16string(17, u'b'), a43 + std::u16string(22, u'c'), false));
}

TEST(Floor, KeepsTheThresholdAndBeatsTheDisplacedAnswer) {
  EXPECT_TRUE(Floor(80).Admits(80));
  EXPECT_FALSE(Floor(80).Admits(79.99));
  EXPECT_TRUE(Floor(0).Admits(0));
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
      ASSERT_EQ(floor.AdmitsRatio(ratio), floor.Admits(service::ToPercentage(ratio))) << ratio;
    }
    for (const double edge : {86.0 / 125.0, 2.0 / 3.0, 0.855, 0.9, 1.0}) {
      for (const double ratio : {std::nextafter(edge, 0.0), edge, std::nextafter(edge, 1.0)}) {
        if (ratio > 1.0) continue;
        ASSERT_EQ(floor.AdmitsRatio(ratio), floor.Admits(service::ToPercentage(ratio))) << ratio;
      }
    }
  }
  // The double nearest 86/125 (and 0.688) lies just below 0.688 and its answer
  // is 68.79: not admitted at 68.8, unlike the next double up.
  EXPECT_FALSE(Floor(68.8).AdmitsRatio(86.0 / 125.0));
  EXPECT_TRUE(Floor(68.8).AdmitsRatio(std::nextafter(86.0 / 125.0, 1.0)));
}

// Profiles built the way the matcher builds them.
std::vector<Profile> ProfilesOf(const std::vector<std::u16string>& names) {
  CompareUS comparer;
  std::vector<Profile> profiles;
  for (const std::u16string& name : names) profiles.push_back(ProfileOf(name, comparer.PhoneticForm(name)));
  return profiles;
}

class PairScorerMethods : public ::testing::TestWithParam<std::int16_t> {};

// Every pair of a random list against Compare: an answer given is Compare's,
// and a pair refused on a bound is one that Compare too places below the floor.
TEST_P(PairScorerMethods, AnswersAsCompareOrProvesThePairFallsShort) {
  const std::int16_t method = GetParam();
  const auto names = testing::RandomNames(11, 60);
  const auto profiles = ProfilesOf(names);
  const Floor floors[] = {Floor(0),  Floor(50),  Floor(80),    Floor(85),
                          Floor(95), Floor(100), Floor(0, 90), Floor(60, 75.5)};
  CompareUS comparer;
  PairScorer scorer(service::CombinationFor(method));
  std::size_t refusedAt85 = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    scorer.SetQuery(profiles[i]);
    for (std::size_t j = 0; j < names.size(); ++j) {
      const double expected = comparer.Compare(names[i], names[j], method);
      ASSERT_EQ(scorer.Exact(profiles[i], profiles[j]), expected) << i << " " << j;
      for (const Floor& floor : floors) {
        const std::optional<double> scored = scorer.Score(profiles[j], floor);
        if (scored) {
          ASSERT_EQ(*scored, expected) << i << " " << j;
        } else {
          ASSERT_FALSE(floor.Admits(expected)) << i << " " << j << " answer " << expected << " refused below "
                                               << floor.threshold() << "/" << floor.displaced();
          if (floor.threshold() == 85 && floor.displaced() < 0) ++refusedAt85;
        }
      }
    }
  }
  // The bounds must do their job too, not only be safe.
  EXPECT_GT(refusedAt85, names.size() * names.size() / 2);
}

INSTANTIATE_TEST_SUITE_P(Methods, PairScorerMethods, ::testing::ValuesIn(kMethods));

TEST(PairScorer, RefusesAPairOnlyAboveItsBestPossibleAnswer) {
  CompareUS comparer;
  // Spelling alone: at most 2 * 2 / (2 + 20), 18.18, and "AL" does match.
  const Profile shortName = ProfileOf(u"Al", comparer.PhoneticForm(u"Al"));
  const Profile longName = ProfileOf(u"Alexandra Whitfields", comparer.PhoneticForm(u"Alexandra Whitfields"));
  PairScorer spelling(service::Combination::SpellingOnly);
  spelling.SetQuery(shortName);
  EXPECT_FALSE(spelling.Score(longName, Floor(18.19)));
  EXPECT_EQ(spelling.Score(longName, Floor(18.18)), comparer.Compare(u"Al", u"Alexandra Whitfields", 99));
}

// Forms longer than the query's table of lengths are bounded on the spot.
TEST(PairScorer, BoundsLongPhoneticFormsAsWell) {
  const auto form = [](std::size_t length, char16_t last) { return std::u16string(length - 1, u'k') + last; };
  const Profile query = ProfileOf(u"query", form(200, u'a'));
  const Profile candidates[] = {ProfileOf(u"query", form(200, u'b')), ProfileOf(u"query", form(130, u'a')),
                                ProfileOf(u"query", form(60, u'a')), ProfileOf(u"query", form(400, u'a'))};
  PairScorer sound(service::Combination::SoundOnly);
  sound.SetQuery(query);
  for (const Profile& candidate : candidates) {
    const double exact = sound.Exact(query, candidate);
    for (const double threshold : {40.0, 60.0, 80.0, 99.0}) {
      const std::optional<double> scored = sound.Score(candidate, Floor(threshold));
      EXPECT_EQ(scored.has_value(), exact >= threshold) << candidate.formLength << " at " << threshold;
      if (scored) {
        EXPECT_EQ(*scored, exact);
      }
    }
  }
}

}  // namespace
}  // namespace vantel::matching
