// The answer of Compare for one pair of prepared strings, or the proof that it
// stays below what the matcher would keep.
//
// Why the bounds are safe. Compare's answer is
//   ToPercentage(Combine(method, sound, spelling)),
// and each measure is computed as double(M) / double(L1 + L2) * 2.0, where M
// is the number of characters the common-character count matched. For fixed
// lengths that expression never decreases as M grows (division by a positive
// number and doubling are monotone under rounding), and Combine (larger,
// smaller, mean) and ToPercentage (product, floor, quotient) never decrease
// as their arguments grow. So an upper bound on M put through the very same
// functions gives an upper bound on the answer, in floating point as well.
// Two bounds on M are used, the cheaper first: the shorter length, and the
// characters two strings share as multisets (CharCounts). Then the sound
// measure is computed exactly, and the spelling measure still only bounded,
// before the spelling measure is computed too.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "matching/Profile.h"
#include "service/Scoring.h"
#include "similarity/GestaltRatio.h"

namespace vantel::matching {

// The ratio SimilarityRatio reports when `common` characters of strings of
// the two lengths are matched, by the same arithmetic; `common` beyond the
// shorter length is cut to it. Two empty strings are equal (1), one empty
// string matches nothing (0).
double RatioWithCommon(std::int32_t common, std::int32_t length1, std::int32_t length2) noexcept;

// What an answer has to reach to be kept: at least the threshold, and more
// than `displaced`, the answer that a full list of a query's best would push
// out (a later candidate with an equal answer loses the tie).
struct Floor {
  double threshold = 0.0;
  double displaced = -std::numeric_limits<double>::infinity();

  bool Admits(double answer) const noexcept { return answer >= threshold && answer > displaced; }
};

// One per worker: it owns the scratch of the ratio computations.
class PairScorer {
 public:
  explicit PairScorer(service::Combination combination) noexcept : combination_(combination) {}

  // Compare's answer for (first.text, second.text), in that order; or nullopt
  // when the bounds prove the answer cannot pass `floor`.
  std::optional<double> Score(const Profile& first, const Profile& second, const Floor& floor);

  // Compare's answer without any bound.
  double Exact(const Profile& first, const Profile& second);

 private:
  double AnswerOf(double sound, double spelling) const noexcept {
    return service::ToPercentage(service::Combine(combination_, sound, spelling));
  }

  service::Combination combination_;
  similarity::CodeArrays scratch_;
};

}  // namespace vantel::matching
