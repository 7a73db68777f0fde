#include "matching/PairScorer.h"

#include <algorithm>
#include <bit>

namespace vantel::matching {
namespace {

// Phonetic forms of names are rarely longer; a longer one is bounded on the spot.
constexpr std::int32_t kTabledFormLength = 127;

// The smallest ratio from 0 to 1 whose answer `admits` accepts, knowing that
// acceptance never turns to refusal as the ratio grows. Non-negative doubles
// are ordered as their bit patterns are, so the search runs over those.
template <typename Admits>
double LowestAdmittedRatio(const Admits& admits) {
  std::uint64_t refused = 0;  // the bits of 0.0
  std::uint64_t accepted = std::bit_cast<std::uint64_t>(1.0);
  if (!admits(1.0)) return std::numeric_limits<double>::infinity();
  if (admits(0.0)) return 0.0;
  while (accepted - refused > 1) {
    const std::uint64_t middle = refused + (accepted - refused) / 2;
    (admits(std::bit_cast<double>(middle)) ? accepted : refused) = middle;
  }
  return std::bit_cast<double>(accepted);
}

}  // namespace

double RatioWithCommon(std::int32_t common, std::int32_t length1, std::int32_t length2) noexcept {
  if (length1 == 0 || length2 == 0) return length1 == length2 ? 1.0 : 0.0;
  const std::int32_t matched = std::min({common, length1, length2});
  // Lengths of prepared strings are far below 2^30, so the sum cannot overflow.
  return static_cast<double>(matched) / static_cast<double>(length1 + length2) * 2.0;
}

Floor::Floor(double threshold, double displaced) noexcept : threshold_(threshold), displaced_(displaced) {
  Displace(displaced);
}

void Floor::Displace(double answer) noexcept {
  displaced_ = answer;
  lowestRatio_ = LowestAdmittedRatio([this](double ratio) { return Admits(service::ToPercentage(ratio)); });
}

void PairScorer::SetQuery(const Profile& query) {
  query_ = &query;
  const auto fill = [](std::vector<double>& byLength, std::int32_t longest, std::int32_t queryLength) {
    byLength.resize(static_cast<std::size_t>(longest) + 1);
    for (std::int32_t length = 0; length <= longest; ++length) {
      byLength[static_cast<std::size_t>(length)] = RatioWithCommon(queryLength, queryLength, length);
    }
  };
  if (service::NeedsSpelling(combination_)) {
    fill(spellingByLength_, static_cast<std::int32_t>(CompareUS::kMaxLength), query.textLength);
  }
  if (service::NeedsSound(combination_)) fill(soundByLength_, kTabledFormLength, query.formLength);
}

std::optional<double> PairScorer::Score(const Profile& candidate, const Floor& floor) {
  const Profile& query = *query_;
  const bool needsSound = service::NeedsSound(combination_);
  const bool needsSpelling = service::NeedsSpelling(combination_);
  // A measure the method does not use is ignored by Combine, so 0 stands for it.
  double sound = 0.0;
  double spelling = 0.0;

  // The shorter length bounds the count: no histogram is touched yet.
  if (needsSound) {
    const auto length = static_cast<std::size_t>(candidate.formLength);
    sound = length < soundByLength_.size() ? soundByLength_[length]
                                           : RatioWithCommon(query.formLength, query.formLength, candidate.formLength);
  }
  if (needsSpelling) {
    const auto length = static_cast<std::size_t>(candidate.textLength);
    spelling = length < spellingByLength_.size()
                   ? spellingByLength_[length]
                   : RatioWithCommon(query.textLength, query.textLength, candidate.textLength);
  }
  if (!floor.AdmitsRatio(Combined(sound, spelling))) return std::nullopt;

  if (needsSound) {
    sound = RatioWithCommon(CommonBound(query.phonemes, candidate.phonemes), query.formLength, candidate.formLength);
  }
  if (needsSpelling) {
    spelling = RatioWithCommon(CommonBound(query.letters, candidate.letters), query.textLength, candidate.textLength);
  }
  if (!floor.AdmitsRatio(Combined(sound, spelling))) return std::nullopt;

  if (needsSound) {
    sound = similarity::SimilarityRatio(query.form, candidate.form, /*ExactCase=*/true, scratch_);
    if (needsSpelling && !floor.AdmitsRatio(Combined(sound, spelling))) return std::nullopt;
  }
  if (needsSpelling) spelling = similarity::SimilarityRatio(query.text, candidate.text, /*ExactCase=*/false, scratch_);
  return service::ToPercentage(Combined(sound, spelling));
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
  return service::ToPercentage(Combined(sound, spelling));
}

}  // namespace vantel::matching
