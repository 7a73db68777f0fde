// The longest common subsequence of one string with others: the tightest of
// the bounds that the matcher proves before it scores a pair.
//
// The common-character count matches the longest common run, then the pieces
// to its left with each other and the pieces to its right with each other.
// So the characters it matches keep their order in both strings: they are a
// common subsequence, and the longest common subsequence bounds their number.
// Names that share their letters in another order, which the bucketed counts
// cannot tell from near-duplicates, fall short of it.
//
// The length is found by the bit-parallel recurrence over the positions of
// the first string (Allison and Dix; Hyyro): one word holds a row of the
// dynamic programme, and each character of the other string costs a handful
// of word operations. The first string is at most 64 units long.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace vantel::matching {

class CommonSubsequence {
 public:
  static constexpr std::size_t kLongest = 64;

  // Makes `first` the string that Length compares with, each unit upper-cased
  // first when `upperCase` is set. False, and nothing to compare with, when
  // it is longer than kLongest.
  bool Set(std::u16string_view first, bool upperCase);

  // The length of the longest common subsequence of the string set and
  // `second`, each unit of `second` upper-cased first when `upperCase` is set.
  std::int32_t Length(std::u16string_view second, bool upperCase) const noexcept;

 private:
  std::uint64_t PositionsOf(char16_t unit) const noexcept;

  std::size_t length_ = 0;
  // For each character of the string, the bit set of its positions: ASCII in
  // a table (emptied after use through `asciiUsed_`), the others in a list.
  std::array<std::uint64_t, 128> ascii_{};
  std::vector<char16_t> asciiUsed_;
  std::vector<std::pair<char16_t, std::uint64_t>> others_;
};

}  // namespace vantel::matching
