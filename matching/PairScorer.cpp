#include "PairScorer.h"

namespace vantel::matching {

std::optional<double> PairScorer::Score(const Profile& candidate, const service::Floor& floor) {
  const Profile& query = *query_;
  const bool needsSound = scorer_.needsSound();
  const bool needsSpelling = scorer_.needsSpelling();
  // A measure the method does not use is ignored by Combine, so 0 stands for it.
  double sound = 0.0;
  double spelling = 0.0;

  // The shorter length bounds the count: no histogram is touched yet.
  if (needsSound) sound = similarity::RatioOfCommon(query.formLength, query.formLength, candidate.formLength);
  if (needsSpelling) spelling = similarity::RatioOfCommon(query.textLength, query.textLength, candidate.textLength);
  if (!floor.AdmitsRatio(scorer_.Combined(sound, spelling))) return std::nullopt;

  if (needsSound) {
    sound = similarity::RatioOfCommon(CommonBound(query.phonemes, candidate.phonemes), query.formLength,
                                      candidate.formLength);
  }
  if (needsSpelling) {
    spelling = similarity::RatioOfCommon(CommonBound(query.letters, candidate.letters), query.textLength,
                                         candidate.textLength);
  }
  if (!floor.AdmitsRatio(scorer_.Combined(sound, spelling))) return std::nullopt;

  if (!subsequencesSet_) {
    lettersSet_ = needsSpelling && letters_.Set(query.text, /*upperCase=*/true);
    phonemesSet_ = needsSound && phonemes_.Set(query.form, /*upperCase=*/false);
    subsequencesSet_ = true;
  }
  if (lettersSet_ || phonemesSet_) {
    if (phonemesSet_) {
      sound = similarity::RatioOfCommon(phonemes_.Length(candidate.form, /*upperCase=*/false), query.formLength,
                                        candidate.formLength);
    }
    if (lettersSet_) {
      spelling = similarity::RatioOfCommon(letters_.Length(candidate.text, /*upperCase=*/true), query.textLength,
                                           candidate.textLength);
    }
    if (!floor.AdmitsRatio(scorer_.Combined(sound, spelling))) return std::nullopt;
  }

  ++scored_;
  return scorer_.Score(candidate.prepared(), floor, needsSpelling ? spelling : 1.0);
}

}  // namespace vantel::matching
