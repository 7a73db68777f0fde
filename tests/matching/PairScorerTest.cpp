#include "matching/PairScorer.h"

#include <gtest/gtest.h>

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
      {7, 9, 9, 7.0 / 9.0},      // WIKIMEDIA and WIKIMANIA
      {43, 60, 65, 86.0 / 125.0},  // the double just below 0.688, as SimilarityRatio gives it
      {0, 3, 3, 0.0},
      {5, 5, 5, 1.0},
      {9, 3, 5, 0.75},           // more than the shorter length is cut to it
      {0, 0, 0, 1.0},            // two empty strings are equal
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
  EXPECT_TRUE((Floor{80}.Admits(80)));
  EXPECT_FALSE((Floor{80}.Admits(79.99)));
  EXPECT_TRUE((Floor{0}.Admits(0)));
  EXPECT_FALSE((Floor{80, 90}.Admits(90)));  // a tie goes to the earlier candidate
  EXPECT_TRUE((Floor{80, 90}.Admits(90.01)));
  EXPECT_FALSE((Floor{95, 90}.Admits(92)));
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
  const Floor floors[] = {{0}, {50}, {80}, {85}, {95}, {100}, {0, 90}, {60, 75.5}};
  CompareUS comparer;
  PairScorer scorer(service::CombinationFor(method));
  std::size_t refusedAt85 = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (std::size_t j = 0; j < names.size(); ++j) {
      const double expected = comparer.Compare(names[i], names[j], method);
      ASSERT_EQ(scorer.Exact(profiles[i], profiles[j]), expected) << i << " " << j;
      for (const Floor& floor : floors) {
        const std::optional<double> scored = scorer.Score(profiles[i], profiles[j], floor);
        if (scored) {
          ASSERT_EQ(*scored, expected) << i << " " << j;
        } else {
          ASSERT_FALSE(floor.Admits(expected)) << i << " " << j << " answer " << expected << " refused below "
                                               << floor.threshold << "/" << floor.displaced;
          if (floor.threshold == 85 && floor.displaced < 0) ++refusedAt85;
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
  EXPECT_FALSE(spelling.Score(shortName, longName, Floor{18.19}));
  EXPECT_EQ(spelling.Score(shortName, longName, Floor{18.18}), comparer.Compare(u"Al", u"Alexandra Whitfields", 99));
}

}  // namespace
}  // namespace vantel::matching
