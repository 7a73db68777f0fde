// The least number of common characters that a pair of given lengths must
// have for a measure to let it pass a floor: what the scan compares the
// bucketed bound of each candidate with.
//
// A measure is RatioOfCommon(M, L1, L2) for the M characters that the
// common-character count matches, which never decreases as M grows, and an
// answer is ToPercentage(Combine(sound, spelling)), which never decreases as
// either measure grows. So for fixed lengths the pairs whose answer a floor
// admits are those whose M reaches a lowest value, and that value is found
// here by putting M through the very functions of the answer: a bound on M
// below it proves the pair falls short, with no rounding of our own.
#pragma once

#include <cstdint>
#include <vector>

#include "service/Scorer.h"

namespace vantel::matching {

enum class Measure : std::uint8_t { Sound, Spelling };

// How the scan tests a method's two measures, from their bounds alone:
// - Spelling, Sound: one measure, the other is not part of the answer;
// - Either: the answer is the larger measure, so a pair passes when one of
//   them passes by itself (the other counted as 0);
// - Both: a pair passes only if each measure passes with the other at its
//   best, 1. Exact for the smaller of the two; for their mean it is a
//   necessary condition only, and the exact bound decides afterwards.
enum class ScanMode : std::uint8_t { Spelling, Sound, Either, Both };

ScanMode ScanModeFor(service::Combination combination) noexcept;

// The value the other measure is given while one measure's lowest overlap is
// found: 0 where a measure must pass by itself (Either), 1 otherwise.
double OtherMeasureFor(ScanMode mode) noexcept;

// Lengths that overlaps and bucket counts are kept for in single bytes: a
// count of common characters never exceeds the shorter length, so it stays
// below kNever. Longer strings are scored without the vector scan.
inline constexpr std::int32_t kLongestCounted = 254;
inline constexpr std::uint8_t kNever = 255;  // no overlap lets the pair pass

// The least M from 0 to the shorter length at which `measure`, with the
// other measure at `other`, makes Combine pass `floor`; kNever when even the
// shorter length does not. Lengths at most kLongestCounted.
std::uint8_t LowestOverlap(service::Combination combination, const service::Floor& floor, Measure measure, double other,
                           std::int32_t length1, std::int32_t length2) noexcept;

// For a combination whose scan tests each measure with the other at its best
// (ScanMode::Both), the least sound overlap that lets a pair of these
// lengths pass `floor` together with each spelling overlap s from 0 to the
// shorter text length: `need[s]`, or kNever when no sound overlap does. The
// admitted pairs of overlaps form an up-set (the answer never decreases as
// either grows), so need[] never increases with s, and a pair whose bounds
// (S, P) have P < need[S] falls short whatever it really has in common.
// `need` holds min(textLength1, textLength2) + 1 entries; the lengths are
// at most kLongestCounted.
void LowestSoundOverlaps(service::Combination combination, const service::Floor& floor, std::int32_t textLength1,
                         std::int32_t textLength2, std::int32_t formLength1, std::int32_t formLength2,
                         std::uint8_t* need) noexcept;

// LowestOverlap for every pair of lengths from 0 to `longest`, for one floor.
class OverlapTable {
 public:
  OverlapTable() = default;
  OverlapTable(service::Combination combination, const service::Floor& floor, Measure measure, double other,
               std::int32_t longest);

  std::int32_t longest() const noexcept { return longest_; }
  // How many lengths it covers: longest() + 1, or none.
  std::size_t width() const noexcept { return longest_ < 0 ? 0 : static_cast<std::size_t>(longest_) + 1; }
  // The overlaps of a string of length `length1` with every length from 0 to longest().
  const std::uint8_t* Row(std::int32_t length1) const noexcept {
    return overlaps_.data() + static_cast<std::size_t>(length1) * width();
  }

 private:
  std::int32_t longest_ = -1;
  std::vector<std::uint8_t> overlaps_;
};

}  // namespace vantel::matching
