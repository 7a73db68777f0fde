#include "CharCounts.h"

#include <algorithm>
#include <limits>

#include "similarity/UpperCase.h"

namespace vantel::matching {

CharCounts::CharCounts(std::u16string_view text, bool upperCase) {
  // No bucket can exceed the string's length, so a byte holds every count of
  // a string of up to 255 units.
  if (text.size() > std::numeric_limits<std::uint8_t>::max()) {
    unbounded_ = true;
    return;
  }
  for (const char16_t unit : text) {
    // The low six bits keep the ASCII letters, digits and phoneme codes of
    // names in buckets of their own (apart from case in phonetic forms).
    const char16_t code = upperCase ? similarity::UpperCase(unit) : unit;
    ++counts_[BucketOf(code)];
  }
}

std::int32_t CommonBound(const CharCounts& a, const CharCounts& b) noexcept {
  if (a.unbounded_ || b.unbounded_) return std::numeric_limits<std::int32_t>::max();
  // The sum never exceeds the shorter string's length, at most 255, so a byte
  // holds it; and summing bytes is what the compiler turns into vector code.
  std::uint8_t common = 0;
  for (std::size_t bucket = 0; bucket < CharCounts::kBuckets; ++bucket) {
    common = static_cast<std::uint8_t>(common + std::min(a.counts_[bucket], b.counts_[bucket]));
  }
  return common;
}

}  // namespace vantel::matching
