#include "matching/PairScorer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/matching/Prepared.h"
#include "tests/matching/RandomNames.h"
#include "vantel/CompareUS.h"

namespace vantel::matching {
namespace {

using service::Floor;

constexpr std::int16_t kMethods[] = {0, 1, 2, 3, 99};

class PairScorerMethods : public ::testing::TestWithParam<std::int16_t> {};

// Every pair of a random list against Compare: an answer given is Compare's,
// and a pair refused on a bound is one that Compare too places below the floor.
TEST_P(PairScorerMethods, AnswersAsCompareOrProvesThePairFallsShort) {
  const std::int16_t method = GetParam();
  const auto names = testing::RandomNames(11, 60);
  const testing::Prepared prepared(names);
  const std::vector<Profile>& profiles = prepared.profiles;
  const Floor floors[] = {Floor(0),  Floor(50),  Floor(80),    Floor(85),
                          Floor(95), Floor(100), Floor(0, 90), Floor(60, 75.5)};
  CompareUS comparer;
  PairScorer scorer(method);
  std::size_t refusedAt85 = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    scorer.SetQuery(profiles[i]);
    for (std::size_t j = 0; j < names.size(); ++j) {
      const double expected = comparer.Compare(names[i], names[j], method);
      ASSERT_EQ(scorer.Exact(profiles[j]), expected) << i << " " << j;
      // Without bounds known beforehand, and with the bucketed counts the matcher hands over.
      const KnownBounds counted{CommonBound(profiles[i].Phonemes(), profiles[j].Phonemes()),
                                CommonBound(profiles[i].Letters(), profiles[j].Letters())};
      for (const KnownBounds known : {KnownBounds(), counted}) {
        for (const Floor& floor : floors) {
          const std::optional<double> scored = scorer.Score(profiles[j], floor, known);
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
  }
  // The bounds must do their job too, not only be safe.
  EXPECT_GT(refusedAt85, names.size() * names.size());
}

INSTANTIATE_TEST_SUITE_P(Methods, PairScorerMethods, ::testing::ValuesIn(kMethods));

TEST(PairScorer, RefusesAPairOnlyAboveItsBestPossibleAnswer) {
  CompareUS comparer;
  // Spelling alone: at most 2 * 2 / (2 + 20), 18.18, and "AL" does match.
  const std::u16string shortForm = comparer.PhoneticForm(u"Al");
  const std::u16string longForm = comparer.PhoneticForm(u"Alexandra Whitfields");
  const Profile shortName = ProfileOf(u"Al", shortForm);
  const Profile longName = ProfileOf(u"Alexandra Whitfields", longForm);
  PairScorer spelling(99);
  spelling.SetQuery(shortName);
  EXPECT_FALSE(spelling.Score(longName, Floor(18.19)));
  EXPECT_EQ(spelling.Score(longName, Floor(18.18)), comparer.Compare(u"Al", u"Alexandra Whitfields", 99));
  // A bound the caller knows counts too: with one common character at most, 9.09 at best.
  EXPECT_FALSE(spelling.Score(longName, Floor(9.1), KnownBounds{kUnknown, 1}));
  EXPECT_TRUE(spelling.Score(longName, Floor(9.09), KnownBounds{kUnknown, 2}));
}

// Forms too long for byte counts are bounded by their lengths alone.
TEST(PairScorer, BoundsLongPhoneticFormsAsWell) {
  const auto form = [](std::size_t length, char16_t last) { return std::u16string(length - 1, u'k') + last; };
  const std::u16string queryForm = form(200, u'a');
  const std::u16string candidateForms[] = {form(200, u'b'), form(130, u'a'), form(60, u'a'), form(400, u'a')};
  const Profile query = ProfileOf(u"query", queryForm);
  std::vector<Profile> candidates;
  for (const std::u16string& candidateForm : candidateForms) candidates.push_back(ProfileOf(u"query", candidateForm));
  PairScorer sound(3);
  sound.SetQuery(query);
  for (const Profile& candidate : candidates) {
    const double exact = sound.Exact(candidate);
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
