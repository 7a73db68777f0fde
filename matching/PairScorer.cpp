#include "PairScorer.h"

namespace vantel::matching {
namespace {

// Phonetic forms of names are rarely longer; a longer one is bounded on the spot.
constexpr std::int32_t kTabledFormLength = 127;

}  // namespace

void PairScorer::SetQuery(const Profile& query) {
  query_ = &query;
  scorer_.SetQuery(query.prepared());
  const auto fill = [](std::vector<double>& byLength, std::int32_t longest, std::int32_t queryLength) {
    byLength.resize(static_cast<std::size_t>(longest) + 1);
    for (std::int32_t length = 0; length <= longest; ++length) {
      byLength[static_cast<std::size_t>(length)] = similarity::RatioOfCommon(queryLength, queryLength, length);
    }
  };
  if (scorer_.needsSpelling()) {
    fill(spellingByLength_, static_cast<std::int32_t>(CompareUS::kMaxLength), query.textLength);
  }
  if (scorer_.needsSound()) fill(soundByLength_, kTabledFormLength, query.formLength);
}

std::optional<double> PairScorer::Score(const Profile& candidate, const service::Floor& floor) {
  const Profile& query = *query_;
  const bool needsSound = scorer_.needsSound();
  const bool needsSpelling = scorer_.needsSpelling();
  // A measure the method does not use is ignored by Combine, so 0 stands for it.
  double sound = 0.0;
  double spelling = 0.0;

  // The shorter length bounds the count: no histogram is touched yet.
  if (needsSound) {
    const auto length = static_cast<std::size_t>(candidate.formLength);
    sound = length < soundByLength_.size()
                ? soundByLength_[length]
                : similarity::RatioOfCommon(query.formLength, query.formLength, candidate.formLength);
  }
  if (needsSpelling) {
    const auto length = static_cast<std::size_t>(candidate.textLength);
    spelling = length < spellingByLength_.size()
                   ? spellingByLength_[length]
                   : similarity::RatioOfCommon(query.textLength, query.textLength, candidate.textLength);
  }
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

  return scorer_.Score(candidate.prepared(), floor, needsSpelling ? spelling : 1.0);
}

}  // namespace vantel::matching
