// What every answer of Compare must look like, worked out independently of
// the code under test, for the fuzzer and for a test that shows a wrong
// scaling is caught.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vantel::testing {

// A percentage from 0 to 100 with at most two decimals: some whole number of
// hundredths, divided by 100 as the answer is.
inline bool IsCutToTwoDecimals(double answer) {
  if (!(answer >= 0.0 && answer <= 100.0)) return false;
  return std::round(answer * 100.0) / 100.0 == answer;
}

// One of the answers that a single measure over strings of these lengths can
// give: 2M / (length1 + length2) for some count M up to the shorter length,
// times 10000, cut to a whole number, divided by 100.
inline bool IsMeasureAnswerFor(double answer, std::int32_t length1, std::int32_t length2) {
  if (length1 == 0 && length2 == 0) return answer == 100.0;
  for (std::int32_t common = 0; common <= std::min(length1, length2); ++common) {
    const double ratio = static_cast<double>(common) / static_cast<double>(length1 + length2) * 2.0;
    if (std::floor(ratio * 10000.0) / 100.0 == answer) return true;
  }
  return false;
}

}  // namespace vantel::testing
