// Duplicate groups: the connected components of the pairs that a Matcher
// keeps when it matches a list with itself. Two strings are in one group
// when a chain of kept pairs joins them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vantel/Match.h"

namespace vantel {

struct GroupMember {
  static constexpr std::size_t kNoPartner = static_cast<std::size_t>(-1);

  std::size_t group;  // from 1, numbered in the order of each group's first member
  std::size_t index;  // the member's position in the matched list
  // The member its best answer ties it to (of equal answers, the earliest),
  // and that answer; kNoPartner and kRefused for a string without duplicates.
  std::size_t partner;
  double answer;

  friend bool operator==(const GroupMember& a, const GroupMember& b) {
    return a.group == b.group && a.index == b.index && a.partner == b.partner && a.answer == b.answer;
  }
};

// Built from the pairs of one run, in any order: the groups depend on the
// set of pairs alone, so they are the same whatever the number of threads.
//
//   DuplicateGroups groups(strings.size());
//   matcher.Run([&](const ScoredPair& pair) { groups.Add(pair); });
//   for (const GroupMember& member : groups.Members()) ...
class DuplicateGroups {
 public:
  // For a list of `count` strings (the list given to the Matcher).
  explicit DuplicateGroups(std::size_t count);

  void Add(const ScoredPair& pair);

  // The members of every group, by group and then by position. Without
  // `all`, only strings that have at least one duplicate; with it, every
  // other string as well, each in a group of its own, except those in
  // `leftOut` (the Matcher's rejections, which take part in no pair).
  std::vector<GroupMember> Members(bool all = false, const std::vector<Rejection>& leftOut = {}) const;

 private:
  std::size_t Root(std::size_t index) const;

  mutable std::vector<std::size_t> parent_;  // a forest: each group's members lead to one root
  std::vector<std::size_t> partner_;
  std::vector<double> best_;
};

}  // namespace vantel
