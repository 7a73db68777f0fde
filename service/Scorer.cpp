#include "Scorer.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace vantel::service {
namespace {

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

double Combine(Combination combination, double sound, double spelling) noexcept {
  switch (combination) {
    case Combination::Smaller: return std::min(sound, spelling);
    case Combination::Mean: return (sound + spelling) / 2.0;
    case Combination::SoundOnly: return sound;
    case Combination::SpellingOnly: return spelling;
    case Combination::Larger: break;
  }
  return std::max(sound, spelling);
}

double ToPercentage(double ratio) noexcept {
  // The floor is taken of the rounded product on purpose: 86/125 lies just
  // below 0.688 and must give 68.79, not 68.8.
  const double product = ratio * 10000.0;
  return std::floor(product) / 100.0;
}

Floor::Floor(double threshold, double displaced) noexcept : threshold_(threshold), displaced_(displaced) {
  Displace(displaced);
}

void Floor::Displace(double answer) noexcept {
  displaced_ = answer;
  lowestRatio_ = LowestAdmittedRatio([this](double ratio) { return Admits(ToPercentage(ratio)); });
}

double Scorer::Score(const PreparedString& candidate) {
  // No floor admits every ratio, so this never stops early.
  return *Score(candidate, Floor(), 1.0);
}

std::optional<double> Scorer::Score(const PreparedString& candidate, const Floor& floor, double spellingBound) {
  // The sound measure first, completely, then the spelling measure. A measure
  // the method does not use is ignored by Combine, so 0 stands for it.
  double sound = 0.0;
  double spelling = 0.0;
  if (needsSound()) {
    sound = similarity::SimilarityRatio(query_.form, candidate.form, /*ExactCase=*/true, *scratch_);
    if (needsSpelling() && !floor.AdmitsRatio(Combined(sound, spellingBound))) return std::nullopt;
  }
  if (needsSpelling()) {
    spelling = similarity::SimilarityRatio(query_.text, candidate.text, /*ExactCase=*/false, *scratch_);
  }
  const double answer = ToPercentage(Combined(sound, spelling));
  if (!floor.Admits(answer)) return std::nullopt;
  return answer;
}

}  // namespace vantel::service
