// The answer of Compare for one pair of prepared strings, or the proof that it
// stays below what the matcher would keep.
//
// Why the bounds are safe. Compare's answer is
//   ToPercentage(Combine(method, sound, spelling)),
// and each measure is RatioOfCommon(M, L1, L2), where M is the number of
// characters the common-character count matched. For fixed lengths that
// never decreases as M grows, and Combine and ToPercentage never decrease as
// their arguments grow. So an upper bound on M put through the very same
// functions gives an upper bound on the answer, in floating point as well.
// Bounds on M are used the cheaper first: the shorter length and any bound
// the caller already has (the matcher's bucketed counts, CharCounts), then
// the longest common subsequence (Subsequence.h); for a query too long for
// that, the characters the two strings share as multisets, which the
// subsequence never exceeds. What passes them all is scored by the
// service's Scorer, which computes the sound measure and checks it against
// the spelling bound before it computes the spelling measure.
#pragma once

#include <cstdint>
#include <optional>

#include "Profile.h"
#include "Subsequence.h"
#include "service/Scorer.h"
#include "similarity/GestaltRatio.h"

namespace vantel::matching {

// Bounds on the characters a pair has in common that the caller already
// knows (the vector scan's bucketed counts); kUnknown when it knows none.
inline constexpr std::int32_t kUnknown = 0x7FFFFFFF;
struct KnownBounds {
  std::int32_t sound = kUnknown;
  std::int32_t spelling = kUnknown;
};

// One per worker: it owns the scratch of the ratio computations. Changing
// the query costs next to nothing, so a worker may switch between queries as
// often as it likes.
class PairScorer {
 public:
  explicit PairScorer(std::int16_t method) noexcept : scorer_(method, scratch_) {}
  PairScorer(const PairScorer&) = delete;
  PairScorer& operator=(const PairScorer&) = delete;

  bool needsSound() const noexcept { return scorer_.needsSound(); }
  bool needsSpelling() const noexcept { return scorer_.needsSpelling(); }

  // Makes `query` the first string of the pairs that Score is given next.
  void SetQuery(const Profile& query) noexcept {
    query_ = &query;
    scorer_.SetQuery(query.prepared());
    boundsSet_ = false;
  }

  // Compare's answer for (query.text, candidate.text), in that order; or
  // nullopt when it cannot pass `floor`.
  std::optional<double> Score(const Profile& candidate, const service::Floor& floor, KnownBounds known = KnownBounds());

  // Compare's answer without any bound.
  double Exact(const Profile& candidate) {
    ++scored_;
    return scorer_.Score(candidate.prepared());
  }

  // How many pairs went past the bounds to the scorer so far.
  std::uint64_t scored() const noexcept { return scored_; }

 private:
  similarity::CodeArrays scratch_;
  service::Scorer scorer_;
  const Profile* query_ = nullptr;
  // The query's bounds, set up when a pair first needs them: subsequences,
  // or counts when the query is too long for them.
  bool boundsSet_ = false;
  CommonSubsequence letters_, phonemes_;
  bool lettersSet_ = false, phonemesSet_ = false;
  CharCounts letterCounts_, phonemeCounts_;
  std::uint64_t scored_ = 0;
};

}  // namespace vantel::matching
