#include "vantel/Link.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vantel {
namespace {

// Records 0-1-2 chained by two kept pairs, 3-4 by one, 5 alone.
const std::vector<LinkedPair> kKept = {{{0, 1}, 5, 0.97}, {{1, 2}, 4, 0.94}, {{3, 4}, 9, 0.998}};

// Linking 0-2 against 3-5: 0 and 1 both with 3, 0 with 4, 2 with 5.
const std::vector<LinkedPair> kLinked = {{{0, 3}, 5, 0.97}, {{0, 4}, 4, 0.94}, {{1, 3}, 3, 0.9}, {{2, 5}, 9, 0.998}};

TEST(Link, GroupsAreComponentsWithTheirDensity) {
  const LinkGroups groups = GroupPairs(kKept, {6, 6});
  EXPECT_EQ(groups.groupOf, (std::vector<std::size_t>{1, 1, 1, 2, 2, 0}));
  EXPECT_EQ(groups.sizes, (std::vector<std::size_t>{3, 2}));
  EXPECT_DOUBLE_EQ(groups.density[0], 2.0 / 3);  // a chain: 2 of its 3 pairs kept
  EXPECT_DOUBLE_EQ(groups.density[1], 1.0);
  // Linking, a group's member pairs are those across the files: {0, 1, 3, 4}
  // has four, three of them kept.
  const LinkGroups linked = GroupPairs(kLinked, {6, 3});
  EXPECT_EQ(linked.groupOf, (std::vector<std::size_t>{1, 1, 2, 1, 1, 2}));
  EXPECT_EQ(linked.sizes, (std::vector<std::size_t>{4, 2}));
  EXPECT_DOUBLE_EQ(linked.density[0], 0.75);
  EXPECT_DOUBLE_EQ(linked.density[1], 1.0);
}

// Scoring lets a pair go below LowestKeptWeight without its probability:
// no weight there may have a probability that reaches the threshold, down
// to the last double below the bound, and the bound stays near the boundary.
TEST(Link, NoWeightBelowTheLowestKeptReachesTheThreshold) {
  const double thresholds[] = {0.0, 1e-300, 1e-9, 0.1, 0.5, 0.9, 0.99, 0.999, 0.999999, 1 - 1e-12, 1 - 0x1p-53, 1.0};
  for (const double threshold : thresholds) {
    const double lowest = LowestKeptWeight(threshold);
    if (threshold == 0.0) {
      EXPECT_EQ(lowest, -std::numeric_limits<double>::infinity());
      continue;
    }
    double below = std::nextafter(lowest, -std::numeric_limits<double>::infinity());
    for (int step = 0; step < 2000; ++step, below -= 0.01)
      ASSERT_LT(ProbabilityOf(below), threshold) << threshold << " at weight " << below;
    // The boundary itself is within a few bits above it.
    if (threshold < 1.0) {
      double boundary = lowest;
      while (ProbabilityOf(boundary) < threshold) boundary += 1.0 / 64;
      EXPECT_LE(boundary - lowest, 4.0 + 1.0 / 32) << threshold;
    }
  }
}

TEST(Link, QualityOfPairsAndGroupsCountsTheTruth) {
  // Entities: {0, 1}, {2, 5}, {3, 4}.
  const std::vector<std::uint64_t> entity = {7, 7, 8, 9, 9, 8};
  const RecordSpan span{6, 6};
  struct Row {
    const char* what;
    Quality quality;
    std::uint64_t truePairs, found, correct;
  };
  std::vector<RecordPair> pairs;
  for (const LinkedPair& kept : kKept) pairs.push_back(kept.pair);
  const Row rows[] = {
      {"pairs", PairQuality(pairs, entity, span), 3, 3, 2},
      // The group {0, 1, 2} stands for three pairs, one of them true.
      {"groups", GroupQuality(GroupPairs(kKept, span), entity, span), 3, 4, 2},
      // Linking 0-2 against 3-5: the one true pair is (2, 5). The group
      // {0, 1, 3, 4} stands for its four pairs across the files, none true.
      {"linked pairs", PairQuality({{2, 5}, {1, 4}}, entity, {6, 3}), 1, 2, 1},
      {"linked groups", GroupQuality(GroupPairs(kLinked, {6, 3}), entity, {6, 3}), 1, 5, 1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.quality.truePairs, row.truePairs) << row.what;
    EXPECT_EQ(row.quality.foundPairs, row.found) << row.what;
    EXPECT_EQ(row.quality.correct, row.correct) << row.what;
  }
  EXPECT_DOUBLE_EQ(rows[0].quality.precision(), 2.0 / 3);
  EXPECT_DOUBLE_EQ(rows[0].quality.recall(), 2.0 / 3);
  EXPECT_DOUBLE_EQ(rows[1].quality.f1(), 2 * 0.5 * (2.0 / 3) / (0.5 + 2.0 / 3));
}

}  // namespace
}  // namespace vantel
