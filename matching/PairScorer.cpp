#include "PairScorer.h"

namespace vantel::matching {

std::optional<double> PairScorer::Score(const Profile& candidate, const service::Floor& floor, KnownBounds known) {
  const Profile& query = *query_;
  const bool needsSound = scorer_.needsSound();
  const bool needsSpelling = scorer_.needsSpelling();
  // A measure the method does not use is ignored by Combine, so 0 stands for it.
  double sound = 0.0;
  double spelling = 0.0;

  // The shorter length bounds the count, and so does what the caller knows
  // (RatioOfCommon takes the smaller of the two).
  if (needsSound) sound = similarity::RatioOfCommon(known.sound, query.formLength, candidate.formLength);
  if (needsSpelling) spelling = similarity::RatioOfCommon(known.spelling, query.textLength, candidate.textLength);
  if (!floor.AdmitsRatio(scorer_.Combined(sound, spelling))) return std::nullopt;

  // Then the longest common subsequence, or for a query too long for it the
  // characters the two strings share as multisets.
  if (!boundsSet_) {
    lettersSet_ = needsSpelling && letters_.Set(query.text, /*upperCase=*/true);
    phonemesSet_ = needsSound && phonemes_.Set(query.form, /*upperCase=*/false);
    if (needsSpelling && !lettersSet_) letterCounts_ = query.Letters();
    if (needsSound && !phonemesSet_) phonemeCounts_ = query.Phonemes();
    boundsSet_ = true;
  }
  // One measure at a time: a pair that falls short on the sound bound, with
  // the spelling at its length bound, needs no spelling bound at all.
  if (needsSound) {
    const std::int32_t common = phonemesSet_ ? phonemes_.Length(candidate.form, /*upperCase=*/false)
                                             : CommonBound(phonemeCounts_, candidate.Phonemes());
    sound = similarity::RatioOfCommon(common, query.formLength, candidate.formLength);
    if (!floor.AdmitsRatio(scorer_.Combined(sound, spelling))) return std::nullopt;
  }
  if (needsSpelling) {
    const std::int32_t common = lettersSet_ ? letters_.Length(candidate.text, /*upperCase=*/true)
                                            : CommonBound(letterCounts_, candidate.Letters());
    spelling = similarity::RatioOfCommon(common, query.textLength, candidate.textLength);
    if (!floor.AdmitsRatio(scorer_.Combined(sound, spelling))) return std::nullopt;
  }

  ++scored_;
  return scorer_.Score(candidate.prepared(), floor, needsSpelling ? spelling : 1.0);
}

}  // namespace vantel::matching
