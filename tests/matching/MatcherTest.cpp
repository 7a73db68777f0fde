#include "vantel/Match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

#include "matching/Overlaps.h"
#include "tests/matching/InstructionSetNames.h"
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

// A lone query with a limit (a lookup) visits the cells nearest its lengths
// first; it must keep what the brute force keeps, ties to the earlier
// candidate included: candidates repeated further down the list, and queries
// that are candidates themselves.
TEST_P(MatcherMethods, LooksUpOneQueryAsTheBruteForceDoes) {
  const std::int16_t method = GetParam();
  std::vector<std::u16string> candidates = testing::RandomNames(2, 240);
  for (std::size_t at = 0; at < 60; at += 3) candidates.push_back(candidates[at]);
  std::vector<std::u16string> queries = testing::RandomNames(4, 12);
  queries.insert(queries.end(), candidates.begin() + 5, candidates.begin() + 17);
  const AllAnswers all(queries, candidates, method);
  for (std::size_t q = 0; q < queries.size(); ++q) {
    for (const double threshold : {0.0, 60.0, 85.5}) {
      for (const std::size_t top : {1u, 2u, 5u}) {
        SCOPED_TRACE(::testing::Message() << "query " << q << " threshold " << threshold << " top " << top);
        std::vector<ScoredPair> expected;
        for (const ScoredPair& pair : all.Expected(threshold, top)) {
          if (pair.query == q) expected.push_back({0, pair.candidate, pair.answer});
        }
        const MatchOptions options{.method = method, .threshold = threshold, .top = top, .threads = 1};
        EXPECT_EQ(Matcher({queries[q]}, candidates, options).Run(), expected);
      }
    }
  }
}

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

// Compare's answers for the lists below, worked out once for all instruction sets that a process tests.
const AllAnswers& MixedAnswers(bool linking, std::int16_t method) {
  static std::map<std::pair<bool, std::int16_t>, AllAnswers> answers;
  const auto key = std::pair(linking, method);
  if (auto found = answers.find(key); found != answers.end()) return found->second;
  if (linking) {
    return answers.try_emplace(key, testing::MixedNames(22, 45), testing::MixedNames(23, 80), method).first->second;
  }
  return answers.try_emplace(key, testing::MixedNames(21, 160), std::vector<std::u16string>{}, method).first->second;
}

class MatcherInstructionSets : public ::testing::TestWithParam<InstructionSet> {};

// Each vector scan the processor runs, on lists full of ties, equal lengths,
// letters beyond ASCII and beyond 16 bits, and strings of 1 and 70 units:
// exactly the pairs that Compare gives, for every method (7 is unlisted),
// with and without a limit, on one worker and on two.
TEST_P(MatcherInstructionSets, ReportWhatCompareGivesForEveryPair) {
  const InstructionSet set = GetParam();
  for (const std::int16_t method :
       {std::int16_t{0}, std::int16_t{1}, std::int16_t{2}, std::int16_t{3}, std::int16_t{99}, std::int16_t{7}}) {
    for (const bool linking : {false, true}) {
      const AllAnswers& all = MixedAnswers(linking, method);
      for (const double threshold : {0.0, 50.0, 85.0, 100.0}) {
        for (const std::size_t top : {0u, 2u}) {
          for (const unsigned threads : {1u, 2u}) {
            SCOPED_TRACE(::testing::Message()
                         << "method " << method << (linking ? " linking" : " de-duplicating") << " threshold "
                         << threshold << " top " << top << " threads " << threads);
            const MatchOptions options{
                .method = method, .threshold = threshold, .top = top, .threads = threads, .instructionSet = set};
            const auto expected = all.Expected(threshold, top);
            ASSERT_EQ(all.Matched(options), expected);
            if (threshold == 85.0) {
              EXPECT_FALSE(expected.empty());
            }
          }
        }
      }
    }
  }
}

// Phonetic forms too long for the byte counts are bounded by the exact
// bound alone, as queries and as candidates.
TEST_P(MatcherInstructionSets, MatchesStringsWithVeryLongPhoneticForms) {
  const PhoneticFormFunction lengthened = [](CompareUS& comparer, std::u16string_view word) {
    std::u16string form = comparer.PhoneticForm(word);
    if (!word.empty() && word[0] == u'J') {
      while (form.size() <= kLongestCounted) form += form;
      form.resize(kLongestCounted + 3);
    }
    return form;
  };
  const auto names = testing::MixedNames(24, 50);
  // Every pair scored in full, worked out once for all instruction sets that a process tests.
  static std::map<std::tuple<std::int16_t, double, std::size_t>, std::vector<ScoredPair>> expected;
  for (const std::int16_t method : {std::int16_t{0}, std::int16_t{2}, std::int16_t{3}}) {
    for (const double threshold : {40.0, 85.0}) {
      for (const std::size_t top : {0u, 1u}) {
        SCOPED_TRACE(::testing::Message() << "method " << method << " threshold " << threshold << " top " << top);
        MatchOptions options{.method = method, .threshold = threshold, .top = top, .threads = 2, .useBounds = false};
        auto [reference, added] = expected.try_emplace({method, threshold, top});
        if (added) reference->second = Matcher(names, options, lengthened).Run();
        options.useBounds = true;
        options.instructionSet = GetParam();
        EXPECT_EQ(Matcher(names, options, lengthened).Run(), reference->second);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Supported, MatcherInstructionSets, ::testing::ValuesIn(SupportedInstructionSets()),
                         [](const ::testing::TestParamInfo<InstructionSet>& param) { return NameOf(param.param); });

TEST(Matcher, RunsEveryInstructionSetItListsAndRefusesOthers) {
  const std::vector<InstructionSet> sets = SupportedInstructionSets();
  ASSERT_FALSE(sets.empty());
  EXPECT_EQ(sets.front(), InstructionSet::Portable);
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_TRUE(std::find(sets.begin(), sets.end(), InstructionSet::Sse2) != sets.end());
#endif
  const std::vector<std::u16string> names = {u"Jon", u"John"};
  for (const InstructionSet set : sets) {
    EXPECT_EQ(Matcher(names, {.method = 99, .threshold = 0, .instructionSet = set}).Run().size(), 1u);
  }
  try {
    const Matcher matcher(names, {.instructionSet = static_cast<InstructionSet>(99)});
    ADD_FAILURE() << "an unknown instruction set was accepted";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), error::kInvalidProcedureCall);
  }
}

// Without a limit the pairs of the first queries are written out while the
// last are still to be scanned: a sink that stops the run at its first pair
// finds most of the pairs not yet considered.
TEST(Matcher, WritesPairsOutBeforeTheLastQueriesAreScanned) {
  const auto names = testing::RandomNames(25, 3000);
  const Matcher matcher(names, {.threshold = 0, .threads = 1});
  EXPECT_THROW(matcher.Run([](const ScoredPair&) { throw std::runtime_error("stop"); }), std::runtime_error);
  EXPECT_LT(matcher.counts().considered, matcher.pairCount() / 2);
}

TEST(Matcher, CountsThePairsItConsidersBoundsAndScores) {
  const auto names = testing::RandomNames(26, 400);
  for (const bool useBounds : {true, false}) {
    const Matcher matcher(names, {.method = 2, .threshold = 85, .threads = 2, .useBounds = useBounds});
    const std::size_t kept = matcher.Run().size();
    const Matcher::Counts counts = matcher.counts();
    EXPECT_EQ(counts.considered, matcher.pairCount());
    EXPECT_GE(counts.scored, kept);
    if (useBounds) {
      EXPECT_GE(counts.bounded, counts.scored);
      EXPECT_LT(counts.bounded, counts.considered / 20);  // the scan rules out nearly all pairs
    } else {
      EXPECT_EQ(counts.scored, counts.considered);
    }
    matcher.Run();  // the counts add up over runs
    EXPECT_EQ(matcher.counts().considered, 2 * matcher.pairCount());
  }
}

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

// A lone query with a limit scans its cells in an order of its own; a stop
// (a lookup's deadline, Ctrl-C) still ends it between cells, not at its end.
TEST(Matcher, StopsALoneQueryBetweenItsCells) {
  const auto candidates = testing::RandomNames(27, 200000);
  const Matcher matcher({u"Margaret Johnson"}, candidates, {.threshold = 0, .top = 1000000, .threads = 1});
  EXPECT_THROW(matcher.Run([](const ScoredPair&) {}, [](std::uint64_t) { throw std::runtime_error("deadline"); },
                           std::chrono::milliseconds(1)),
               std::runtime_error);
  EXPECT_LT(matcher.counts().scored, candidates.size() / 2);
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

// A slow sink: the workers could run far ahead of it, but the pairs held
// for it (scored, not yet written out) stay within the byte budget, give or
// take a block and a query's growth per worker, whatever the thread count.
TEST(Matcher, HoldsNoMorePairsThanItsByteBudgetForASlowSink) {
  const auto queries = testing::RandomNames(21, 200);
  const auto candidates = testing::RandomNames(22, 1000);
  const std::vector<ScoredPair> expected = Matcher(queries, candidates, {.threshold = 0, .threads = 1}).Run();
  struct Case {
    unsigned threads;
    std::size_t pendingBytes;
  };
  for (const Case& c : {Case{1, 0}, Case{4, 0}, Case{4, 64 << 10}, Case{8, 64 << 10}}) {
    SCOPED_TRACE(::testing::Message() << c.threads << " threads, " << c.pendingBytes << " bytes");
    const Matcher matcher(queries, candidates, {.threshold = 0, .threads = c.threads, .pendingBytes = c.pendingBytes});
    std::vector<ScoredPair> pairs;
    std::uint64_t mostAhead = 0;
    matcher.Run(
        [&](const ScoredPair& pair) {
          pairs.push_back(pair);
          if (pairs.size() % 4000 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        [&](std::uint64_t done) {
          if (done > pairs.size()) mostAhead = std::max<std::uint64_t>(mostAhead, done - pairs.size());
        },
        std::chrono::milliseconds(1));
    // Every pair is kept, so pairs done and not written out are pairs held.
    EXPECT_EQ(pairs.size(), queries.size() * candidates.size());
    EXPECT_LE(mostAhead * sizeof(ScoredPair), c.pendingBytes + (1u << 20));
    EXPECT_EQ(pairs, expected);
  }
}

// The preparation asks its checkpoint on the calling thread as it goes, and
// stops as soon as the checkpoint throws, without transcribing the rest.
TEST(Matcher, StopsItsPreparationWhenTheCheckpointThrows) {
  const auto names = testing::RandomNames(23, 20000);
  for (const unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    std::atomic<int> transcribed = 0;
    const PhoneticFormFunction counting = [&](CompareUS& comparer, std::u16string_view word) {
      ++transcribed;
      return comparer.PhoneticForm(word);
    };
    int checkpoints = 0;
    bool onCallingThread = true;
    const auto caller = std::this_thread::get_id();
    const MatchOptions options{.method = 3, .threads = threads, .checkpoint = [&] {
                                 onCallingThread = onCallingThread && std::this_thread::get_id() == caller;
                                 if (++checkpoints == 4) throw std::runtime_error("cancelled");
                               }};
    EXPECT_THROW(Matcher(names, options, counting), std::runtime_error);
    EXPECT_EQ(checkpoints, 4);
    EXPECT_TRUE(onCallingThread);
    EXPECT_GT(transcribed, 0);
    EXPECT_LT(transcribed, 8000);  // of about 18,000 distinct names

    // Asked, and never throwing, it changes nothing.
    checkpoints = 0;
    const std::vector<std::u16string> some(names.begin(), names.begin() + 3000);
    const MatchOptions quiet{.method = 3, .threads = threads, .checkpoint = [&] { ++checkpoints; }};
    EXPECT_EQ(Matcher(some, quiet).Run(), Matcher(some, {.method = 3, .threads = threads}).Run());
    EXPECT_GT(checkpoints, 5);
  }
}

// Every worker thread starts through the caller's hook, on the calling
// thread; one that throws there stops the preparation or the run.
TEST(Matcher, StartsEveryWorkerThroughTheCallersHook) {
  const auto names = testing::RandomNames(24, 3000);
  const auto caller = std::this_thread::get_id();
  std::mutex mutex;
  std::set<std::thread::id> transcribers;
  const PhoneticFormFunction noting = [&](CompareUS& comparer, std::u16string_view word) {
    {
      const std::lock_guard lock(mutex);
      transcribers.insert(std::this_thread::get_id());
    }
    return comparer.PhoneticForm(word);
  };
  int started = 0;
  bool onCallingThread = true;
  const auto hook = [&](const std::function<void()>& start) {
    onCallingThread = onCallingThread && std::this_thread::get_id() == caller;
    start();
    ++started;
  };
  const Matcher matcher(names, {.method = 2, .threads = 4, .startThread = hook}, noting);
  // The calling thread transcribes too; each other transcriber came through the hook.
  EXPECT_GE(transcribers.size(), 2u);
  EXPECT_EQ(static_cast<std::size_t>(started), transcribers.size() - 1);
  started = 0;
  EXPECT_EQ(matcher.Run(), Matcher(names, {.method = 2, .threads = 1}).Run());
  EXPECT_EQ(started, 4);
  EXPECT_TRUE(onCallingThread);

  int tries = 0;
  int refuseAt = 0;
  const auto refusing = [&](const std::function<void()>& start) {
    if (++tries == refuseAt) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    start();
  };
  for (const int refused : {1, 3}) {
    SCOPED_TRACE(refused);
    tries = 0;
    refuseAt = refused;
    EXPECT_THROW(Matcher(names, {.method = 2, .threads = 4, .startThread = refusing}), std::system_error);
    refuseAt = 0;
    const Matcher refusingRun(names, {.method = 2, .threads = 4, .startThread = refusing});
    tries = 0;
    refuseAt = refused;
    std::size_t emitted = 0;
    EXPECT_THROW(refusingRun.Run([&](const ScoredPair&) { ++emitted; }), std::system_error);
    EXPECT_EQ(emitted, 0u);
  }
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
