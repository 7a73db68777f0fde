#include "Overlaps.h"

#include <algorithm>

#include "similarity/GestaltRatio.h"

namespace vantel::matching {

ScanMode ScanModeFor(service::Combination combination) noexcept {
  switch (combination) {
    case service::Combination::SpellingOnly: return ScanMode::Spelling;
    case service::Combination::SoundOnly: return ScanMode::Sound;
    case service::Combination::Larger: return ScanMode::Either;
    case service::Combination::Smaller:
    case service::Combination::Mean: break;
  }
  return ScanMode::Both;
}

double OtherMeasureFor(ScanMode mode) noexcept { return mode == ScanMode::Either ? 0.0 : 1.0; }

std::uint8_t LowestOverlap(service::Combination combination, const service::Floor& floor, Measure measure, double other,
                           std::int32_t length1, std::int32_t length2) noexcept {
  const auto admits = [&](std::int32_t common) {
    const double ratio = similarity::RatioOfCommon(common, length1, length2);
    return floor.AdmitsRatio(measure == Measure::Sound ? service::Combine(combination, ratio, other)
                                                       : service::Combine(combination, other, ratio));
  };
  std::int32_t refused = -1;  // the greatest M known to fall short; -1 before any is known
  std::int32_t admitted = std::min(length1, length2);
  if (!admits(admitted)) return kNever;
  while (admitted - refused > 1) {
    const std::int32_t middle = refused + (admitted - refused) / 2;
    (admits(middle) ? admitted : refused) = middle;
  }
  return static_cast<std::uint8_t>(admitted);
}

void LowestSoundOverlaps(service::Combination combination, const service::Floor& floor, std::int32_t textLength1,
                         std::int32_t textLength2, std::int32_t formLength1, std::int32_t formLength2,
                         std::uint8_t* need) noexcept {
  const std::int32_t spellingMost = std::min(textLength1, textLength2);
  const std::int32_t soundMost = std::min(formLength1, formLength2);
  const auto admits = [&](std::int32_t spelling, std::int32_t sound) {
    return floor.AdmitsRatio(service::Combine(combination, similarity::RatioOfCommon(sound, formLength1, formLength2),
                                              similarity::RatioOfCommon(spelling, textLength1, textLength2)));
  };
  // Down the staircase from the most spelling overlap: each step down in
  // spelling needs at least the sound overlap of the step above it.
  std::int32_t sound = 0;
  for (std::int32_t spelling = spellingMost; spelling >= 0; --spelling) {
    while (sound <= soundMost && !admits(spelling, sound)) ++sound;
    need[spelling] = sound > soundMost ? kNever : static_cast<std::uint8_t>(sound);
  }
}

OverlapTable::OverlapTable(service::Combination combination, const service::Floor& floor, Measure measure, double other,
                           std::int32_t longest)
    : longest_(std::min(longest, kLongestCounted)) {
  overlaps_.resize(width() * width());
  for (std::int32_t length1 = 0; length1 <= longest_; ++length1) {
    for (std::int32_t length2 = 0; length2 <= longest_; ++length2) {
      overlaps_[static_cast<std::size_t>(length1) * width() + static_cast<std::size_t>(length2)] =
          LowestOverlap(combination, floor, measure, other, length1, length2);
    }
  }
}

}  // namespace vantel::matching
