// The fuzzer's invariants must catch an answer scaled the wrong way, or they
// would pass whatever Compare did.
#include "tests/fuzz/AnswerInvariants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace vantel::testing {
namespace {

struct WrongScaling {
  const char* name;
  double (*scale)(double ratio);
};

TEST(AnswerInvariants, RejectEveryWrongScalingOfARatio) {
  const WrongScaling wrongs[] = {
      {"rounded", [](double r) { return std::round(r * 10000.0) / 100.0; }},
      {"not cut", [](double r) { return r * 100.0; }},
      {"cut to whole percent", [](double r) { return std::floor(r * 100.0); }},
      {"cut to one decimal", [](double r) { return std::floor(r * 1000.0) / 10.0; }},
      {"raised", [](double r) { return std::ceil(r * 10000.0) / 100.0; }},
  };
  for (const WrongScaling& wrong : wrongs) {
    int differing = 0;
    for (std::int32_t length1 = 1; length1 <= 70; ++length1) {
      for (std::int32_t length2 = 1; length2 <= 70; ++length2) {
        for (std::int32_t common = 0; common <= std::min(length1, length2); ++common) {
          const double ratio = static_cast<double>(common) / static_cast<double>(length1 + length2) * 2.0;
          const double right = std::floor(ratio * 10000.0) / 100.0;
          ASSERT_TRUE(IsCutToTwoDecimals(right) && IsMeasureAnswerFor(right, length1, length2))
              << common << " of " << length1 << "+" << length2;
          const double scaled = wrong.scale(ratio);
          if (scaled == right) continue;
          ++differing;
          ASSERT_FALSE(IsCutToTwoDecimals(scaled) && IsMeasureAnswerFor(scaled, length1, length2))
              << wrong.name << ": " << scaled << " for " << common << " of " << length1 << "+" << length2;
        }
      }
    }
    EXPECT_GT(differing, 1000) << wrong.name;
  }
}

TEST(AnswerInvariants, KnowTheWorkedExamples) {
  EXPECT_TRUE(IsMeasureAnswerFor(66.66, 3, 3));  // cat and kat in spelling
  EXPECT_FALSE(IsMeasureAnswerFor(66.67, 3, 3));
  EXPECT_TRUE(IsMeasureAnswerFor(68.79, 60, 65));  // 86/125, just below 0.688
  EXPECT_FALSE(IsMeasureAnswerFor(68.8, 60, 65));
  EXPECT_TRUE(IsMeasureAnswerFor(100, 0, 0));
  EXPECT_FALSE(IsCutToTwoDecimals(-1));
  EXPECT_FALSE(IsCutToTwoDecimals(100.01));
}

}  // namespace
}  // namespace vantel::testing
