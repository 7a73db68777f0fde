// Union-find over the positions of the list: each pair joins the trees of
// its two strings (the smaller root under the larger never matters here, as
// the paths are halved on every lookup). A member's best answer is kept
// beside it. The numbering is done at the end, in position order, so that it
// depends on nothing but the set of pairs.

#include "vantel/Groups.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace vantel {

DuplicateGroups::DuplicateGroups(std::size_t count)
    : parent_(count), partner_(count, GroupMember::kNoPartner), best_(count, CompareUS::kRefused) {
  std::iota(parent_.begin(), parent_.end(), std::size_t{0});
}

std::size_t DuplicateGroups::Root(std::size_t index) const {
  while (parent_[index] != index) {
    parent_[index] = parent_[parent_[index]];  // path halving
    index = parent_[index];
  }
  return index;
}

void DuplicateGroups::Add(const ScoredPair& pair) {
  if (pair.query >= parent_.size() || pair.candidate >= parent_.size()) {
    throw std::out_of_range("DuplicateGroups::Add: a pair outside the list");
  }
  const std::size_t a = Root(pair.query), b = Root(pair.candidate);
  if (a != b) parent_[std::max(a, b)] = std::min(a, b);  // the root is always the group's first member
  const auto offer = [&](std::size_t member, std::size_t other) {
    if (pair.answer > best_[member] || (pair.answer == best_[member] && other < partner_[member])) {
      best_[member] = pair.answer;
      partner_[member] = other;
    }
  };
  offer(pair.query, pair.candidate);
  offer(pair.candidate, pair.query);
}

std::vector<GroupMember> DuplicateGroups::Members(bool all, const std::vector<Rejection>& leftOut) const {
  const std::size_t count = parent_.size();
  std::vector<char> excluded(count, 0);
  for (const Rejection& rejection : leftOut) {
    if (rejection.index < count) excluded[rejection.index] = 1;
  }
  // Since every root is its group's first member, numbering the roots in
  // position order numbers the groups by their first members.
  std::vector<std::size_t> groupOf(count, 0);
  std::size_t groups = 0;
  std::vector<GroupMember> members;
  for (std::size_t index = 0; index < count; ++index) {
    const bool paired = partner_[index] != GroupMember::kNoPartner;
    if (!paired && (!all || excluded[index])) continue;
    const std::size_t root = Root(index);
    if (groupOf[root] == 0) groupOf[root] = ++groups;
    members.push_back({groupOf[root], index, partner_[index], best_[index]});
  }
  std::stable_sort(members.begin(), members.end(),
                   [](const GroupMember& a, const GroupMember& b) { return a.group < b.group; });
  return members;
}

}  // namespace vantel
