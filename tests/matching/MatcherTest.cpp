#include "vantel/Match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/matching/RandomNames.h"
#include "vantel/CompareUS.h"
#include "vantel/Errors.h"

namespace vantel {

// How failures show the matcher's results.
void PrintTo(const ScoredPair& pair, std::ostream* out) {
  *out << '(' << pair.query << ", " << pair.candidate << ", " << pair.answer << ')';
}
void PrintTo(const Rejection& rejection, std::ostream* out) {
  *out << (rejection.list == ListRole::Queries ? "query " : "candidate ") << rejection.index << ": "
       << rejection.reason;
}

namespace matching {
namespace {

constexpr std::int16_t kMethods[] = {0, 1, 2, 3, 99};

// Compare's answer for every pair, computed the slow, obvious way.
struct AllAnswers {
  std::vector<std::u16string> queries, candidates;  // candidates empty: the queries with themselves
  std::vector<std::vector<double>> answers;         // [query][candidate]

  AllAnswers(std::vector<std::u16string> q, std::vector<std::u16string> c, std::int16_t method)
      : queries(std::move(q)), candidates(std::move(c)) {
    const auto& others = candidates.empty() ? queries : candidates;
    CompareUS comparer;
    for (const std::u16string& query : queries) {
      answers.emplace_back();
      for (const std::u16string& candidate : others)
        answers.back().push_back(comparer.Compare(query, candidate, method));
    }
  }

  // What the matcher must report: for each query in order, the candidates at
  // or above the threshold, best first and ties in candidate order, cut to `top`.
  std::vector<ScoredPair> Expected(double threshold, std::size_t top) const {
    std::vector<ScoredPair> expected;
    for (std::size_t q = 0; q < answers.size(); ++q) {
      std::vector<ScoredPair> row;
      for (std::size_t c = candidates.empty() ? q + 1 : 0; c < answers[q].size(); ++c) {
        if (answers[q][c] >= threshold) row.push_back({q, c, answers[q][c]});
      }
      std::stable_sort(row.begin(), row.end(), [](const auto& a, const auto& b) { return a.answer > b.answer; });
      if (top != 0 && row.size() > top) row.resize(top);
      expected.insert(expected.end(), row.begin(), row.end());
    }
    return expected;
  }

  std::vector<ScoredPair> Matched(const MatchOptions& options) const {
    if (candidates.empty()) return Matcher(queries, options).Run();
    return Matcher(queries, candidates, options).Run();
  }
};

class MatcherMethods : public ::testing::TestWithParam<std::int16_t> {};

TEST_P(MatcherMethods, ReportsWhatCompareGivesForEveryPair) {
  const std::int16_t method = GetParam();
  const AllAnswers linking(testing::RandomNames(1, 36), testing::RandomNames(2, 30), method);
  const AllAnswers deduplicating(testing::RandomNames(3, 45), {}, method);
  for (const AllAnswers* all : {&linking, &deduplicating}) {
    for (const double threshold : {0.0, 60.0, 80.0, 85.5, 100.0}) {
      for (const std::size_t top : {0u, 1u, 3u}) {
        for (const unsigned threads : {1u, 3u}) {
          SCOPED_TRACE(::testing::Message() << (all == &linking ? "linking" : "de-duplicating") << " threshold "
                                            << threshold << " top " << top << " threads " << threads);
          const MatchOptions options{.method = method, .threshold = threshold, .top = top, .threads = threads};
          EXPECT_EQ(all->Matched(options), all->Expected(threshold, top));
        }
      }
    }
  }
}

// The bounds only save work: on with and off they must keep the same pairs.
TEST_P(MatcherMethods, KeepsThePairsThatScoringEveryPairKeeps) {
  const std::int16_t method = GetParam();
  const auto names = testing::RandomNames(4, 80);
  for (const double threshold : {50.0, 85.0, 95.0}) {
    for (const std::size_t top : {0u, 2u}) {
      SCOPED_TRACE(::testing::Message() << "threshold " << threshold << " top " << top);
      MatchOptions options{.method = method, .threshold = threshold, .top = top, .threads = 2};
      const auto bounded = Matcher(names, options).Run();
      options.useBounds = false;
      EXPECT_EQ(bounded, Matcher(names, options).Run());
      EXPECT_FALSE(bounded.empty());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, MatcherMethods, ::testing::ValuesIn(kMethods));

TEST(Matcher, PairsEachStringOfAListWithEveryLaterOne) {
  const std::vector<std::u16string> names = {u"Jon", u"John", u"Jon", u"Joan"};
  const auto pairs = Matcher(names, {.method = 99, .threshold = 0}).Run();
  std::vector<std::pair<std::size_t, std::size_t>> seen;
  for (const ScoredPair& pair : pairs) seen.emplace_back(pair.query, pair.candidate);
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}));
  // Equal strings on different lines are a pair, and the earlier comes first.
  EXPECT_EQ(pairs.front(), (ScoredPair{0, 2, 100}));
  EXPECT_EQ(Matcher(names, {.method = 99, .threshold = 0}).pairCount(), 6u);
}

TEST(Matcher, BreaksTiesAtTheLimitInCandidateOrder) {
  const std::vector<std::u16string> queries = {u"Jon"};
  const std::vector<std::u16string> candidates = {u"Jonn", u"jon", u"Jon", u"JON", u"Jon"};
  // Method 99 ignores case: jon, Jon, JON and Jon all give 100.
  EXPECT_EQ(Matcher(queries, candidates, {.method = 99, .top = 2}).Run(),
            (std::vector<ScoredPair>{{0, 1, 100}, {0, 2, 100}}));
  EXPECT_EQ(Matcher(queries, candidates, {.method = 99, .top = 5}).Run().back(), (ScoredPair{0, 0, 85.71}));
}

TEST(Matcher, LeavesOutStringsOfBadLengthAndKeepsTheOthersPlaces) {
  const std::u16string longest(70, u'a');
  const std::vector<std::u16string> names = {u"Anna", u"", u"Ann", longest + u'a', u"Anna", longest, longest};
  const Matcher matcher(names, {.method = 99, .threshold = 85});
  EXPECT_EQ(matcher.rejections(), (std::vector<Rejection>{
                                      {ListRole::Queries, 1, "empty string"},
                                      {ListRole::Queries, 3, "longer than 70 UTF-16 code units (71)"},
                                  }));
  EXPECT_EQ(matcher.pairCount(), 10u);  // five strings left
  EXPECT_EQ(matcher.Run(), (std::vector<ScoredPair>{{0, 4, 100}, {0, 2, 85.71}, {2, 4, 85.71}, {5, 6, 100}}));
}

TEST(Matcher, LeavesOutAStringWhosePhoneticFormFailsWhereverItStands) {
  std::atomic<int> calls = 0;
  const PhoneticFormFunction failOnBoom = [&](CompareUS& comparer, std::u16string_view word) {
    ++calls;
    if (word == u"Boom") throw RuntimeError(error::kOverflow);
    return comparer.PhoneticForm(word);
  };
  const std::vector<std::u16string> queries = {u"Boom", u"Smith", u"Boom", u"Smyth"};
  const std::vector<std::u16string> candidates = {u"Smith", u"Boom", u""};
  const Matcher matcher(queries, candidates, {.threshold = 0, .threads = 2}, failOnBoom);
  EXPECT_EQ(matcher.rejections(), (std::vector<Rejection>{
                                      {ListRole::Queries, 0, "run-time error 6: Overflow"},
                                      {ListRole::Queries, 2, "run-time error 6: Overflow"},
                                      {ListRole::Candidates, 1, "run-time error 6: Overflow"},
                                      {ListRole::Candidates, 2, "empty string"},
                                  }));
  CompareUS comparer;
  EXPECT_EQ(matcher.Run(), (std::vector<ScoredPair>{{1, 0, 100}, {3, 0, comparer.Compare(u"Smyth", u"Smith", 0)}}));
  EXPECT_EQ(calls, 3);  // Boom, Smith and Smyth, each once

  // The spelling measure needs no phonetic form, so nothing fails and nothing is transcribed.
  calls = 0;
  EXPECT_TRUE(Matcher(queries, candidates, {.method = 99}, failOnBoom).rejections().size() == 1);
  EXPECT_EQ(calls, 0);
}

TEST(Matcher, TranscribesEachDistinctStringOnce) {
  std::atomic<int> calls = 0;
  const PhoneticFormFunction counting = [&](CompareUS& comparer, std::u16string_view word) {
    ++calls;
    return comparer.PhoneticForm(word);
  };
  const auto queries = testing::RandomNames(5, 300);
  const auto candidates = testing::RandomNames(6, 300);
  std::vector<std::u16string> distinct = queries;
  distinct.insert(distinct.end(), candidates.begin(), candidates.end());
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  ASSERT_LT(distinct.size(), queries.size() + candidates.size());
  const Matcher matcher(queries, candidates, {.method = 3, .threads = 2}, counting);
  EXPECT_EQ(calls, static_cast<int>(distinct.size()));
}

TEST(Matcher, ReportsProgressUpToEveryPair) {
  const auto names = testing::RandomNames(8, 90);
  const Matcher matcher(names, {.threads = 2});
  std::vector<std::uint64_t> reported;
  std::size_t pairs = 0;
  matcher.Run([&](const ScoredPair&) { ++pairs; }, [&](std::uint64_t done) { reported.push_back(done); });
  ASSERT_FALSE(reported.empty());
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(reported.back(), matcher.pairCount());
  EXPECT_EQ(matcher.pairCount(), 90u * 89u / 2u);
  EXPECT_GT(pairs, 0u);
}

TEST(Matcher, StopsItsWorkersWhenTheSinkThrows) {
  const auto names = testing::RandomNames(9, 200);
  const Matcher matcher(names, {.threshold = 0, .threads = 3});
  int emitted = 0;
  EXPECT_THROW(matcher.Run([&](const ScoredPair&) {
    if (++emitted == 5) throw std::runtime_error("disk full");
  }),
               std::runtime_error);
  EXPECT_EQ(emitted, 5);
}

TEST(Matcher, PassesOnAFailureOtherThanARunTimeError) {
  const PhoneticFormFunction broken = [](CompareUS&, std::u16string_view) -> std::u16string {
    throw std::logic_error("broken transcriber");
  };
  const std::vector<std::u16string> names = {u"a", u"b"};
  EXPECT_THROW(Matcher(names, {}, broken), std::logic_error);
}

TEST(Matcher, MatchesEmptyListsToNothing) {
  const std::vector<std::u16string> none;
  const std::vector<std::u16string> one = {u"Ann"};
  EXPECT_TRUE(Matcher(none, {}).Run().empty());
  EXPECT_TRUE(Matcher(one, {}).Run().empty());
  EXPECT_TRUE(Matcher(one, none, {}).Run().empty());
  EXPECT_EQ(Matcher(one, one, {}).Run(), (std::vector<ScoredPair>{{0, 0, 100}}));
}

}  // namespace
}  // namespace matching
}  // namespace vantel
