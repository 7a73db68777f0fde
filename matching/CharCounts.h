// How often each character occurs in a string, folded into a few buckets: the
// cheap half of the proof that a pair cannot reach a threshold.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vantel::matching {

// Every matching the common-character count can find pairs equal characters,
// so it never matches more characters than the two strings share as
// multisets. Folding characters into buckets can only raise that number (the
// smaller of two sums is at least the sum of the smaller terms), so the
// bucketed figure stays an upper bound however characters collide.
class CharCounts {
 public:
  static constexpr std::size_t kBuckets = 64;

  CharCounts() = default;
  // The counts of `text`, each unit upper-cased first when `upperCase` is set
  // (as the spelling measure compares them).
  CharCounts(std::u16string_view text, bool upperCase);

  // The bucket of a code unit as it is counted (after upper-casing, if asked).
  static constexpr std::size_t BucketOf(char16_t code) noexcept { return code % kBuckets; }

  const std::array<std::uint8_t, kBuckets>& counts() const noexcept { return counts_; }
  bool unbounded() const noexcept { return unbounded_; }

  // At least the number of characters that any matching between the two
  // counted strings can pair up.
  friend std::int32_t CommonBound(const CharCounts& a, const CharCounts& b) noexcept;

 private:
  // A byte per bucket keeps the sum of minima to a few vector instructions.
  // A string too long for that is marked as `unbounded` and bounds nothing.
  std::array<std::uint8_t, kBuckets> counts_{};
  bool unbounded_ = false;
};

}  // namespace vantel::matching
