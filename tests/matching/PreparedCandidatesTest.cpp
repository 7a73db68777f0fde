#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/matching/RandomNames.h"
#include "vantel/CompareUS.h"
#include "vantel/Errors.h"
#include "vantel/Match.h"

namespace vantel {

// Defined with the matcher's tests.
void PrintTo(const ScoredPair& pair, std::ostream* out);
void PrintTo(const Rejection& rejection, std::ostream* out);

namespace matching {
namespace {

constexpr std::int16_t kMethods[] = {0, 1, 2, 3, 99};

// A transcriber that fails on one string, which the sound methods then refuse
// and the spelling method keeps. No query is that string.
std::u16string FailOnBoom(CompareUS& comparer, std::u16string_view word) {
  if (word == u"Boom") throw RuntimeError(error::kOverflow);
  return comparer.PhoneticForm(word);
}

// Candidates with repeats and every kind of refusal among them.
std::vector<std::u16string> Candidates() {
  std::vector<std::u16string> names = testing::RandomNames(31, 300);
  names.insert(names.begin() + 5, u"");
  names.insert(names.begin() + 40, std::u16string(71, u'a'));
  names.insert(names.begin() + 77, u"Boom");
  names.push_back(names[3]);
  return names;
}

// Query batches of several sizes, one with a string the matcher refuses and
// one with strings that are also candidates.
std::vector<std::vector<std::u16string>> QueryBatches() {
  const std::vector<std::u16string> names = testing::RandomNames(32, 40);
  const std::vector<std::u16string> candidates = Candidates();
  std::vector<std::vector<std::u16string>> batches = {{names[0]}, {names[1], u"", names[2]}};
  batches.emplace_back(names.begin() + 3, names.end());
  batches.push_back({candidates[3], candidates[100], names[5]});
  return batches;
}

struct Case {
  std::int16_t method;
  double threshold;
  std::size_t top;
  unsigned threads;
  bool useBounds;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (const std::int16_t method : kMethods) {
    for (const double threshold : {0.0, 70.0, 85.5, 100.0}) {
      for (const std::size_t top : {0u, 1u, 3u}) {
        for (const unsigned threads : {1u, 2u}) cases.push_back({method, threshold, top, threads, true});
      }
    }
    cases.push_back({method, 80.0, 0, 2, false});
    cases.push_back({method, 60.0, 2, 1, false});
  }
  return cases;
}

MatchOptions OptionsOf(const Case& c) {
  return {.method = c.method, .threshold = c.threshold, .top = c.top, .threads = c.threads, .useBounds = c.useBounds};
}

struct Outcome {
  std::vector<ScoredPair> pairs;
  std::vector<Rejection> rejections;
  std::uint64_t pairCount = 0;

  explicit Outcome(const Matcher& matcher)
      : pairs(matcher.Run()), rejections(matcher.rejections()), pairCount(matcher.pairCount()) {}
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
  *out << outcome.pairs.size() << " pairs, " << outcome.rejections.size() << " rejections, pair count "
       << outcome.pairCount << ":";
  for (const ScoredPair& pair : outcome.pairs) {
    *out << ' ';
    vantel::PrintTo(pair, out);
  }
}

// One prepared list serves every method, threshold, limit and batch exactly
// as the linking constructor does given the list itself.
TEST(PreparedCandidates, GiveWhatTheLinkingConstructorGivesForEveryBatch) {
  const std::vector<std::u16string> candidates = Candidates();
  const auto prepared = std::make_shared<const PreparedCandidates>(candidates, MatchOptions{.threads = 2}, FailOnBoom);
  EXPECT_EQ(prepared->size(), candidates.size());
  for (const Case& c : Cases()) {
    const MatchOptions options = OptionsOf(c);
    for (const std::vector<std::u16string>& batch : QueryBatches()) {
      SCOPED_TRACE(::testing::Message() << "method " << c.method << " threshold " << c.threshold << " top " << c.top
                                        << " threads " << c.threads << " bounds " << c.useBounds << " batch of "
                                        << batch.size());
      const Outcome expected(Matcher(batch, candidates, options, FailOnBoom));
      EXPECT_EQ(Outcome(Matcher(batch, prepared, options)), expected);
      if (c.threshold == 0.0 && c.top == 0) {
        EXPECT_FALSE(expected.pairs.empty());
      }
    }
  }
}

// Two threads running on one list, fresh so that both want each method's
// layout first, get what one thread alone gets.
TEST(PreparedCandidates, GiveTheSameAnswersToThreadsSharingThem) {
  const std::vector<std::u16string> candidates = Candidates();
  const std::vector<std::vector<std::u16string>> batches = QueryBatches();
  std::vector<Outcome> expected;
  for (const std::int16_t method : kMethods) {
    for (const auto& batch : batches) {
      expected.emplace_back(Matcher(batch, candidates, {.method = method, .threshold = 60, .top = 2}, FailOnBoom));
    }
  }
  const auto prepared = std::make_shared<const PreparedCandidates>(candidates, MatchOptions{}, FailOnBoom);
  std::vector<std::vector<Outcome>> got(2);
  {
    std::vector<std::jthread> threads;
    for (std::size_t thread = 0; thread < got.size(); ++thread) {
      threads.emplace_back([&, thread] {
        for (const std::int16_t method : kMethods) {
          for (const auto& batch : batches) {
            got[thread].emplace_back(Matcher(batch, prepared, {.method = method, .threshold = 60, .top = 2}));
          }
        }
      });
    }
  }
  EXPECT_EQ(got[0], expected);
  EXPECT_EQ(got[1], expected);
}

TEST(PreparedCandidates, AreRequired) {
  EXPECT_THROW(Matcher({u"smith"}, std::shared_ptr<const PreparedCandidates>(), {}), RuntimeError);
}

}  // namespace
}  // namespace matching
}  // namespace vantel
