#include "service/Scoring.h"

#include <algorithm>
#include <cmath>

namespace vantel::service {

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

}  // namespace vantel::service
