#include "vantel/LinkModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/linkage/SmallPeople.h"
#include "vantel/Link.h"

namespace vantel {
namespace {

std::vector<RecordPair> AllPairs(std::size_t count) {
  std::vector<RecordPair> pairs;
  for (std::uint32_t i = 0; i < count; ++i)
    for (std::uint32_t j = i + 1; j < count; ++j) pairs.push_back({i, j});
  return pairs;
}

// The EM as a textbook states it, pair by pair, with no patterns: each
// pair's match probability from the product of its m and u, then m as the
// probability-weighted share of each level among the pairs that have the
// field, and the prior as the mean probability.
struct ReferenceEm {
  LevelTable m;
  LevelTable u;
  double prior;
};

// With learnU, u is worked out as m is, from 1 - p.
ReferenceEm PlainEm(const std::vector<std::vector<int>>& pairLevels, LevelTable u, LevelTable m, double prior,
                    int iterations, double pseudoCount, bool learnU = false) {
  for (int iteration = 0; iteration < iterations; ++iteration) {
    std::vector<double> p;
    for (const std::vector<int>& levels : pairLevels) {
      double a = prior, b = 1 - prior;
      for (std::size_t f = 0; f < levels.size(); ++f) {
        if (levels[f] < 0) continue;
        a *= m[f][static_cast<std::size_t>(levels[f])];
        b *= u[f][static_cast<std::size_t>(levels[f])];
      }
      p.push_back(a / (a + b));
    }
    LevelTable next = m, nextU = u;
    for (std::size_t f = 0; f < m.size(); ++f) {
      double present = 0, presentNon = 0;
      for (std::size_t i = 0; i < pairLevels.size(); ++i)
        if (pairLevels[i][f] >= 0) {
          present += p[i];
          presentNon += 1 - p[i];
        }
      for (std::size_t level = 0; level < m[f].size(); ++level) {
        double at = 0, atNon = 0;
        for (std::size_t i = 0; i < pairLevels.size(); ++i)
          if (pairLevels[i][f] == static_cast<int>(level)) {
            at += p[i];
            atNon += 1 - p[i];
          }
        const double spread = pseudoCount * static_cast<double>(m[f].size());
        next[f][level] = (at + pseudoCount) / (present + spread);
        nextU[f][level] = (atNon + pseudoCount) / (presentNon + spread);
      }
    }
    double sum = 0;
    for (const double value : p) sum += value;
    m = next;
    if (learnU) u = nextU;
    prior = sum / static_cast<double>(p.size());
  }
  return {m, u, prior};
}

TEST(LinkModel, EmMatchesPlainReference) {
  const testing::SmallPeople people = testing::MakeSmallPeople(70, 7);
  const LinkRecords records(people.fields, people.Views(), people.person.size());
  const std::vector<RecordPair> pairs = AllPairs(records.recordCount());
  const std::vector<std::uint8_t> levels = ComparisonLevels(records, pairs, 1);
  std::vector<std::vector<int>> pairLevels;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    std::vector<int> row;
    for (std::size_t f = 0; f < records.fieldCount(); ++f) {
      const std::uint8_t level = levels[i * records.fieldCount() + f];
      row.push_back(level == kMissingLevel ? -1 : level);
    }
    pairLevels.push_back(row);
  }
  const LevelTable u = EstimateU(records, 20000, 3, 1);
  const std::vector<Pattern> patterns = CountPatterns(levels, records.fieldCount());
  ASSERT_LT(patterns.size(), pairs.size());
  for (const bool learnU : {false, true})
    for (const int iterations : {1, 5, 25}) {
      EmOptions options;
      options.maxIterations = iterations;
      options.tolerance = 0;
      options.learnU = learnU;
      const EmResult fast = RunEm(patterns, u, StartingM(people.fields), 0.05, options);
      const ReferenceEm slow =
          PlainEm(pairLevels, u, StartingM(people.fields), 0.05, iterations, options.pseudoCount, learnU);
      EXPECT_EQ(fast.iterations, iterations);
      EXPECT_NEAR(fast.prior, slow.prior, 1e-9);
      for (std::size_t f = 0; f < u.size(); ++f)
        for (std::size_t level = 0; level < u[f].size(); ++level) {
          EXPECT_NEAR(fast.m[f][level], slow.m[f][level], 1e-9) << iterations << " " << f << " " << level;
          EXPECT_NEAR(fast.u[f][level], slow.u[f][level], 1e-9) << iterations << " " << f << " " << level;
        }
      // Held, u stays as given, bit for bit; learnt, it moves.
      EXPECT_EQ(fast.u == u, !learnU) << iterations;
    }
}

TEST(LinkModel, TrainingIsTheSameOnAnyNumberOfThreads) {
  const testing::SmallPeople people = testing::MakeSmallPeople(150, 11);
  const LinkRecords records(people.fields, people.Views(), people.person.size());
  const std::vector<RecordPair> pairs = AllPairs(records.recordCount());
  TrainingOptions options;
  options.samplePairs = 30000;
  options.threads = 1;
  const LinkModel one = Train(records, pairs, options);
  options.threads = 2;
  const LinkModel two = Train(records, pairs, options);
  ASSERT_EQ(one.fields.size(), two.fields.size());
  EXPECT_EQ(one.prior, two.prior);
  for (std::size_t f = 0; f < one.fields.size(); ++f) {
    EXPECT_EQ(one.fields[f].m, two.fields[f].m);
    EXPECT_EQ(one.fields[f].u, two.fields[f].u);
  }
  EXPECT_EQ(one.training.patterns, two.training.patterns);
  EXPECT_TRUE(one.training.converged);
  // Without labels the model still finds the planted duplicates: the top
  // level of each field is far likelier among matches than among others.
  for (const FieldModel& field : one.fields) EXPECT_GT(field.m[0], 5 * field.u[0]) << field.comparison.column;
}

// Progress is told from the calling thread alone, never goes back, and ends
// at the whole count; the levels, the model and the scores do not change.
TEST(LinkModel, ProgressIsToldFromTheCallingThread) {
  const testing::SmallPeople people = testing::MakeSmallPeople(150, 11);
  const LinkRecords records(people.fields, people.Views(), people.person.size());
  const std::vector<RecordPair> pairs = AllPairs(records.recordCount());
  ASSERT_GT(pairs.size(), 4 * 4096u);  // several chunks
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::pair<std::uint64_t, std::uint64_t>> told;
  bool elsewhere = false;
  const PairProgress progress = [&](std::uint64_t done, std::uint64_t total) {
    elsewhere = elsewhere || std::this_thread::get_id() != caller;
    told.emplace_back(done, total);
  };
  const auto checkTold = [&](std::uint64_t total) {
    ASSERT_FALSE(told.empty());
    EXPECT_FALSE(elsewhere);
    for (std::size_t i = 1; i < told.size(); ++i) EXPECT_LE(told[i - 1].first, told[i].first);
    EXPECT_EQ(told.back(), std::make_pair(total, total));
    told.clear();
  };
  EXPECT_EQ(ComparisonLevels(records, pairs, 2, progress), ComparisonLevels(records, pairs, 2));
  checkTold(pairs.size());

  TrainingOptions options;
  options.samplePairs = 30000;
  options.threads = 2;
  const LinkModel quiet = Train(records, pairs, options);
  options.progress = progress;
  const LinkModel withProgress = Train(records, pairs, options);
  checkTold(options.samplePairs + pairs.size());
  EXPECT_EQ(withProgress.prior, quiet.prior);
  for (std::size_t f = 0; f < quiet.fields.size(); ++f) EXPECT_EQ(withProgress.fields[f].m, quiet.fields[f].m);

  const std::vector<LinkedPair> scored = ScorePairs(quiet, records, pairs, 0.5, 2, nullptr, progress);
  checkTold(pairs.size());
  const std::vector<LinkedPair> plain = ScorePairs(quiet, records, pairs, 0.5, 2);
  ASSERT_EQ(scored.size(), plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i) EXPECT_EQ(scored[i].pair, plain[i].pair);
}

TEST(LinkModel, RandomPairsEstimateU) {
  // Of 40 records, 10 hold "a" and 30 "b": a random pair of two different
  // records agrees with probability (10*9 + 30*29) / (40*39).
  std::vector<std::string_view> values;
  for (int i = 0; i < 40; ++i) values.push_back(i % 4 == 0 ? "a" : "b");
  const LinkRecords records({ParseFieldComparison("c:exact")}, {values}, values.size());
  std::uint64_t used = 0;
  const LevelTable u = EstimateU(records, 200000, 5, 2, &used);
  EXPECT_EQ(used, 200000u);
  EXPECT_NEAR(u[0][0], (10.0 * 9 + 30.0 * 29) / (40.0 * 39), 0.005);
  EXPECT_NEAR(u[0][0] + u[0][1], 1.0, 1e-12);
  // Linking: one record of each file, 4 "a" of 10 in one and 1 of 10 in the other.
  std::vector<std::string_view> two;
  for (int i = 0; i < 20; ++i) two.push_back((i < 10 ? i < 4 : i == 10) ? "a" : "b");
  const LinkRecords linked({ParseFieldComparison("c:exact")}, {two}, 10);
  const LevelTable v = EstimateU(linked, 200000, 5, 1);
  EXPECT_NEAR(v[0][0], 0.4 * 0.1 + 0.6 * 0.9, 0.005);
}

TEST(LinkModel, RareValuesWeighMoreByTheirFrequencies) {
  // surname: Smith 8 times, Zed twice, Moss 4 times, one record without one.
  const std::vector<std::string_view> surnames = {"Smith", "Smith", "Smith", "Smith", "Smith",
                                                  "Smith", "Smith", "Smith", "Zed",   "zed ",
                                                  "Moss",  "Moss",  "Moss",  "Moss",  ""};
  const LinkRecords records({ParseFieldComparison("s:name")}, {surnames}, surnames.size());
  LinkModel model;
  model.fields.push_back(
      {records.field(0).comparison(), {0.9, 0.04, 0.03, 0.02, 0.01}, {0.01, 0.01, 0.02, 0.03, 0.93}});
  model.prior = 0.01;
  const ModelScorer scorer(model, records);
  struct Row {
    RecordPair pair;
    double share;  // of the value among the 14 records that have one
  };
  const Row rows[] = {{{0, 1}, 8.0 / 14}, {{8, 9}, 2.0 / 14}, {{10, 13}, 4.0 / 14}};
  for (const Row& row : rows) {
    const std::uint8_t level = 0;
    EXPECT_NEAR(scorer.FieldWeight(0, level, row.pair), std::log2(0.9 / row.share), 1e-12);
  }
  const std::uint8_t equal = 0;
  EXPECT_NEAR(scorer.FieldWeight(0, equal, {8, 9}) - scorer.FieldWeight(0, equal, {0, 1}), std::log2(8.0 / 2.0), 1e-12);
  EXPECT_NEAR(scorer.FieldWeight(0, equal, {10, 11}) - scorer.FieldWeight(0, equal, {0, 2}), 1.0, 1e-12);
  // Levels below exact agreement, and fields without term frequencies, keep log2(m / u).
  EXPECT_NEAR(scorer.FieldWeight(0, 2, {0, 10}), std::log2(0.03 / 0.02), 1e-12);
  EXPECT_EQ(scorer.FieldWeight(0, kMissingLevel, {0, 14}), 0.0);
  const std::uint8_t levels[] = {0};
  EXPECT_NEAR(scorer.Weight(levels, {8, 9}), std::log2(0.01 / 0.99) + std::log2(0.9 / (2.0 / 14)), 1e-12);

  model.fields[0].comparison.termFrequencies = false;
  const LinkRecords plain({model.fields[0].comparison}, {surnames}, surnames.size());
  const ModelScorer flat(model, plain);
  EXPECT_NEAR(flat.FieldWeight(0, equal, {8, 9}), std::log2(0.9 / 0.01), 1e-12);
  EXPECT_NEAR(flat.FieldWeight(0, equal, {0, 1}), std::log2(0.9 / 0.01), 1e-12);
}

TEST(LinkModel, ProbabilityFollowsWeight) {
  const struct {
    double weight, probability;
  } rows[] = {{0, 0.5}, {1, 2.0 / 3}, {-1, 1.0 / 3}, {10, 1024.0 / 1025}, {-2000, 0.0}, {2000, 1.0}};
  for (const auto& row : rows) EXPECT_NEAR(ProbabilityOf(row.weight), row.probability, 1e-15) << row.weight;
}

TEST(LinkModel, LabelsTrainMDirectly) {
  const testing::SmallPeople people = testing::MakeSmallPeople(60, 5);
  const LinkRecords records(people.fields, people.Views(), people.person.size());
  const std::vector<RecordPair> pairs = AllPairs(records.recordCount());
  std::vector<bool> labels;
  std::size_t matches = 0;
  for (const RecordPair& pair : pairs) {
    labels.push_back(people.person[pair.first] == people.person[pair.second]);
    matches += labels.back() ? 1u : 0u;
  }
  TrainingOptions options;
  options.samplePairs = 5000;
  const LinkModel model = TrainFromLabels(records, pairs, labels, options);
  EXPECT_TRUE(model.training.fromTruth);
  EXPECT_EQ(model.training.labelledMatches, matches);
  EXPECT_DOUBLE_EQ(model.prior, static_cast<double>(matches) / static_cast<double>(pairs.size()));
  // Every planted duplicate keeps its given name (trimmed), so nearly all of m sits on "equal".
  EXPECT_GT(model.fields[0].m[0], 0.99);
  EXPECT_THROW(TrainFromLabels(records, pairs, {true}, options), std::invalid_argument);

  // Labelled candidates that are a part of all pairs: the prior is still the
  // matches' share of all pairs, as u is of random ones, not of the candidates.
  std::vector<RecordPair> some;
  std::vector<bool> someLabels;
  for (std::size_t i = 0; i < pairs.size(); ++i)
    if (labels[i] || i % 7 == 0) {
      some.push_back(pairs[i]);
      someLabels.push_back(labels[i]);
    }
  const LinkModel part = TrainFromLabels(records, some, someLabels, options);
  EXPECT_DOUBLE_EQ(part.prior, static_cast<double>(matches) / static_cast<double>(pairs.size()));
  EXPECT_EQ(part.fields[0].m, model.fields[0].m);
}

}  // namespace
}  // namespace vantel
