#include "vantel/Groups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <queue>
#include <vector>

#include "tests/matching/RandomNames.h"
#include "vantel/CompareUS.h"
#include "vantel/Match.h"

namespace vantel {
namespace {

// The groups as a reader would define them, computed the slow way: every
// pair scored by Compare, components by breadth-first search, numbered by
// their first members; each member's best answer and, of equal ones, its
// earliest partner.
std::vector<GroupMember> ReferenceGroups(const std::vector<std::u16string>& names, std::int16_t method,
                                         double threshold, bool all) {
  const std::size_t count = names.size();
  CompareUS comparer;
  std::vector<std::vector<std::size_t>> neighbours(count);
  std::vector<double> best(count, CompareUS::kRefused);
  std::vector<std::size_t> partner(count, GroupMember::kNoPartner);
  std::vector<char> comparable(count);
  for (std::size_t i = 0; i < count; ++i) {
    comparable[i] = static_cast<char>(!names[i].empty() && names[i].size() <= CompareUS::kMaxLength);
    for (std::size_t j = 0; j < count; ++j) {
      if (i == j) continue;
      // The pair is scored as the matcher scores it: the earlier string first.
      const double answer = comparer.Compare(names[std::min(i, j)], names[std::max(i, j)], method);
      if (answer < threshold || answer == CompareUS::kRefused) continue;
      neighbours[i].push_back(j);
      if (answer > best[i]) best[i] = answer, partner[i] = j;  // j rises: the first of equal answers stays
    }
  }
  std::vector<std::size_t> groupOf(count, 0);
  std::size_t groups = 0;
  for (std::size_t start = 0; start < count; ++start) {
    if (groupOf[start] != 0 || !comparable[start] || (neighbours[start].empty() && !all)) continue;
    groupOf[start] = ++groups;
    std::queue<std::size_t> waiting;
    waiting.push(start);
    while (!waiting.empty()) {
      const std::size_t at = waiting.front();
      waiting.pop();
      for (const std::size_t next : neighbours[at]) {
        if (groupOf[next] == 0) groupOf[next] = groups, waiting.push(next);
      }
    }
  }
  std::vector<GroupMember> members;
  for (std::size_t group = 1; group <= groups; ++group) {
    for (std::size_t i = 0; i < count; ++i) {
      if (groupOf[i] == group) members.push_back({group, i, partner[i], best[i]});
    }
  }
  return members;
}

TEST(DuplicateGroups, AreTheConnectedComponentsOfComparesPairsForEveryMethodAndThreadCount) {
  std::vector<std::u16string> names = matching::testing::RandomNames(21, 160);
  names.insert(names.begin() + 7, u"");  // left out by the matcher: in no group, even with `all`
  names.push_back(std::u16string(71, u'x'));
  for (const std::int16_t method : std::vector<std::int16_t>{0, 1, 2, 3, 99, 7}) {
    for (const unsigned threads : {1u, 2u}) {
      for (const bool all : {false, true}) {
        SCOPED_TRACE(testing::Message() << "method " << method << ", " << threads << " threads, all " << all);
        const double threshold = 75;
        const Matcher matcher(names, {.method = method, .threshold = threshold, .threads = threads});
        DuplicateGroups groups(names.size());
        matcher.Run([&](const ScoredPair& pair) { groups.Add(pair); });
        const std::vector<GroupMember> members = groups.Members(all, matcher.rejections());
        EXPECT_EQ(members, ReferenceGroups(names, method, threshold, all));
        EXPECT_GT(members.size(), 10u);  // the list has duplicates to group
      }
    }
  }
}

TEST(DuplicateGroups, DependOnTheSetOfPairsNotTheirOrder) {
  const std::vector<ScoredPair> pairs = {{3, 4, 90}, {0, 5, 85}, {4, 5, 95}, {1, 2, 80}, {0, 6, 95}};
  std::vector<ScoredPair> reversed(pairs.rbegin(), pairs.rend());
  DuplicateGroups forward(8), backward(8);
  for (const ScoredPair& pair : pairs) forward.Add(pair);
  for (const ScoredPair& pair : reversed) backward.Add(pair);
  const std::vector<GroupMember> expected = {
      {1, 0, 6, 95}, {1, 3, 4, 90}, {1, 4, 5, 95}, {1, 5, 4, 95}, {1, 6, 0, 95}, {2, 1, 2, 80}, {2, 2, 1, 80},
  };
  EXPECT_EQ(forward.Members(), expected);
  EXPECT_EQ(backward.Members(), expected);
  EXPECT_EQ(forward.Members(true).back(), (GroupMember{3, 7, GroupMember::kNoPartner, CompareUS::kRefused}));
  EXPECT_THROW(forward.Add({2, 8, 90}), std::out_of_range);
}

}  // namespace
}  // namespace vantel
