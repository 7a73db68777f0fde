#include "KeyIndex.h"

#include <algorithm>
#include <utility>

namespace vantel::phonetics {

void KeyIndex::Rebuild(std::span<const RuleRow> rows) {
  rows_.clear();
  ascii_ = {};
  others_.clear();

  std::vector<std::pair<char16_t, std::int16_t>> keyed;
  keyed.reserve(rows.size());
  for (std::size_t row = 0; row < rows.size(); ++row) {
    if (rows[row].key.size() == 1) keyed.emplace_back(rows[row].key.front(), static_cast<std::int16_t>(row));
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  for (std::size_t i = 0; i < keyed.size();) {
    const char16_t key = keyed[i].first;
    const auto begin = static_cast<std::uint32_t>(rows_.size());
    for (; i < keyed.size() && keyed[i].first == key; ++i) rows_.push_back(keyed[i].second);
    const Group group{key, begin, static_cast<std::uint32_t>(rows_.size())};
    if (key < ascii_.size()) {
      ascii_[key] = group;
    } else {
      others_.push_back(group);
    }
  }
}

std::span<const std::int16_t> KeyIndex::RowsFor(char16_t key) const noexcept {
  Group group{};
  if (key < ascii_.size()) {
    group = ascii_[key];
  } else {
    const auto found =
        std::lower_bound(others_.begin(), others_.end(), key, [](const Group& g, char16_t k) { return g.key < k; });
    if (found == others_.end() || found->key != key) return {};
    group = *found;
  }
  return std::span<const std::int16_t>(rows_).subspan(group.begin, group.end - group.begin);
}

}  // namespace vantel::phonetics
