#include "matching/PairScorer.h"

#include <algorithm>

namespace vantel::matching {

double RatioWithCommon(std::int32_t common, std::int32_t length1, std::int32_t length2) noexcept {
  if (length1 == 0 || length2 == 0) return length1 == length2 ? 1.0 : 0.0;
  const std::int32_t matched = std::min({common, length1, length2});
  // Lengths of prepared strings are far below 2^30, so the sum cannot overflow.
  return static_cast<double>(matched) / static_cast<double>(length1 + length2) * 2.0;
}

std::optional<double> PairScorer::Score(const Profile& first, const Profile& second, const Floor& floor) {
  const bool needsSound = service::NeedsSound(combination_);
  const bool needsSpelling = service::NeedsSpelling(combination_);
  // A measure the method does not use is ignored by Combine, so 0 stands for it.
  double sound = 0.0;
  double spelling = 0.0;

  // The shorter length bounds the count: no histogram is touched yet.
  if (needsSound) sound = RatioWithCommon(first.formLength, first.formLength, second.formLength);
  if (needsSpelling) spelling = RatioWithCommon(first.textLength, first.textLength, second.textLength);
  if (!floor.Admits(AnswerOf(sound, spelling))) return std::nullopt;

  if (needsSound) {
    sound = RatioWithCommon(CommonBound(first.phonemes, second.phonemes), first.formLength, second.formLength);
  }
  if (needsSpelling) {
    spelling = RatioWithCommon(CommonBound(first.letters, second.letters), first.textLength, second.textLength);
  }
  if (!floor.Admits(AnswerOf(sound, spelling))) return std::nullopt;

  if (needsSound) {
    sound = similarity::SimilarityRatio(first.form, second.form, /*ExactCase=*/true, scratch_);
    if (needsSpelling && !floor.Admits(AnswerOf(sound, spelling))) return std::nullopt;
  }
  if (needsSpelling) spelling = similarity::SimilarityRatio(first.text, second.text, /*ExactCase=*/false, scratch_);
  return AnswerOf(sound, spelling);
}

double PairScorer::Exact(const Profile& first, const Profile& second) {
  // Compare's order: the sound measure first, then the spelling measure.
  double sound = 0.0;
  double spelling = 0.0;
  if (service::NeedsSound(combination_)) {
    sound = similarity::SimilarityRatio(first.form, second.form, /*ExactCase=*/true, scratch_);
  }
  if (service::NeedsSpelling(combination_)) {
    spelling = similarity::SimilarityRatio(first.text, second.text, /*ExactCase=*/false, scratch_);
  }
  return AnswerOf(sound, spelling);
}

}  // namespace vantel::matching
