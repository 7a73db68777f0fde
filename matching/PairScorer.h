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
//
// Since ToPercentage never decreases, the combined ratios whose answer a floor
// admits are all those from some smallest one up; that ratio is found once per
// floor, and a bound is checked against it instead of being scaled each time.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "matching/Profile.h"
#include "service/Scoring.h"
#include "similarity/GestaltRatio.h"
#include "vantel/CompareUS.h"

namespace vantel::matching {

// The ratio SimilarityRatio reports when `common` characters of strings of
// the two lengths are matched, by the same arithmetic; `common` beyond the
// shorter length is cut to it. Two empty strings are equal (1), one empty
// string matches nothing (0).
double RatioWithCommon(std::int32_t common, std::int32_t length1, std::int32_t length2) noexcept;

// What an answer has to reach to be kept: at least the threshold, and more
// than `displaced`, the answer that a full list of a query's best would push
// out (a later candidate with an equal answer loses the tie).
class Floor {
 public:
  explicit Floor(double threshold, double displaced = -std::numeric_limits<double>::infinity()) noexcept;

  bool Admits(double answer) const noexcept { return answer >= threshold_ && answer > displaced_; }
  // True exactly when Admits(ToPercentage(ratio)), for a ratio from 0 to 1.
  bool AdmitsRatio(double ratio) const noexcept { return ratio >= lowestRatio_; }

  double threshold() const noexcept { return threshold_; }
  double displaced() const noexcept { return displaced_; }
  void Displace(double answer) noexcept;

 private:
  double threshold_;
  double displaced_;
  double lowestRatio_;  // the smallest ratio from 0 to 1 admitted; infinity when none is
};

// One per worker: it owns the scratch of the ratio computations, and the
// length bounds of the current query against every candidate length.
class PairScorer {
 public:
  explicit PairScorer(service::Combination combination) noexcept : combination_(combination) {}

  // Makes `query` the first string of the pairs that Score is given next.
  void SetQuery(const Profile& query);

  // Compare's answer for (query.text, candidate.text), in that order; or
  // nullopt when the bounds prove the answer cannot pass `floor`.
  std::optional<double> Score(const Profile& candidate, const Floor& floor);

  // Compare's answer without any bound.
  double Exact(const Profile& first, const Profile& second);

 private:
  double Combined(double sound, double spelling) const noexcept {
    return service::Combine(combination_, sound, spelling);
  }

  service::Combination combination_;
  const Profile* query_ = nullptr;
  // [length] the ratio of the query and a candidate of that length with as
  // many characters matched as the shorter one has.
  std::vector<double> spellingByLength_;
  std::vector<double> soundByLength_;
  similarity::CodeArrays scratch_;
};

}  // namespace vantel::matching
