// The common-character count of two short ranges, on bit rows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantel::similarity {

// Ranges up to this long on each side are counted on 64-bit rows.
inline constexpr std::size_t kBitParallelLimit = 64;

// The count of CountCommonChars for a[0..length1) and b[0..length2), both at
// most kBitParallelLimit long: the same runs, the same tie-break, the same
// total. Allocates nothing and does not recurse.
std::int32_t CountCommonCharsShort(const char16_t* a, std::size_t length1, const char16_t* b,
                                   std::size_t length2) noexcept;

}  // namespace vantel::similarity
