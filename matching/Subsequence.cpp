#include "Subsequence.h"

#include <bit>

#include "similarity/UpperCase.h"

namespace vantel::matching {

bool CommonSubsequence::Set(std::u16string_view first, bool upperCase) {
  for (const char16_t unit : asciiUsed_) ascii_[unit] = 0;
  asciiUsed_.clear();
  others_.clear();
  length_ = 0;
  if (first.size() > kLongest) return false;
  length_ = first.size();
  for (std::size_t position = 0; position < first.size(); ++position) {
    const char16_t unit = upperCase ? similarity::UpperCase(first[position]) : first[position];
    const std::uint64_t bit = std::uint64_t{1} << position;
    if (unit < ascii_.size()) {
      if (ascii_[unit] == 0) asciiUsed_.push_back(unit);
      ascii_[unit] |= bit;
      continue;
    }
    auto found = others_.begin();
    while (found != others_.end() && found->first != unit) ++found;
    if (found == others_.end()) {
      others_.emplace_back(unit, bit);
    } else {
      found->second |= bit;
    }
  }
  return true;
}

std::uint64_t CommonSubsequence::PositionsOf(char16_t unit) const noexcept {
  if (unit < ascii_.size()) return ascii_[unit];
  for (const auto& [other, positions] : others_) {
    if (other == unit) return positions;
  }
  return 0;
}

std::int32_t CommonSubsequence::Length(std::u16string_view second, bool upperCase) const noexcept {
  // Bit i of `row` is cleared once the first i + 1 units of the string set
  // hold one more unit of a common subsequence than its first i units do.
  std::uint64_t row = ~std::uint64_t{0};
  for (const char16_t unit : second) {
    const std::uint64_t matches = row & PositionsOf(upperCase ? similarity::UpperCase(unit) : unit);
    row = (row + matches) | (row - matches);
  }
  const std::uint64_t positions = length_ == kLongest ? ~std::uint64_t{0} : (std::uint64_t{1} << length_) - 1;
  return static_cast<std::int32_t>(length_) - std::popcount(row & positions);
}

}  // namespace vantel::matching
