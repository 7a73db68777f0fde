// The one recipe of an answer: which measures a method number asks for, in
// which order they are computed, how they are combined and how the result is
// scaled. CompareUS::Compare and bulk matching both score through a Scorer,
// so the recipe exists once and the two cannot drift apart.
//
// A Scorer takes prepared strings: the text and its phonetic form, worked out
// beforehand (once per string in bulk matching). Given a floor, it may stop
// as soon as the answer provably cannot reach it: that is only ever a
// shortcut, an answer it does return is the one Compare gives.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "similarity/GestaltRatio.h"
#include "vantel/CompareUS.h"

namespace vantel::service {

// Strings of 1 to 70 UTF-16 code units are compared; others get the answer -1.
constexpr bool IsComparableLength(std::u16string_view text) noexcept {
  return !text.empty() && text.size() <= CompareUS::kMaxLength;
}

enum class Combination : std::uint8_t { Larger, Smaller, Mean, SoundOnly, SpellingOnly };

// 1 smaller, 2 mean, 3 sound only, 99 spelling only; 0 and every other value larger.
constexpr Combination CombinationFor(std::int16_t LaMethode) noexcept {
  switch (LaMethode) {
    case 1: return Combination::Smaller;
    case 2: return Combination::Mean;
    case 3: return Combination::SoundOnly;
    case 99: return Combination::SpellingOnly;
    default: return Combination::Larger;
  }
}

constexpr bool NeedsSound(Combination combination) noexcept { return combination != Combination::SpellingOnly; }
constexpr bool NeedsSpelling(Combination combination) noexcept { return combination != Combination::SoundOnly; }

// The combined ratio of the sound and spelling measures (a measure that the
// combination does not need is ignored). Never decreases as either grows.
double Combine(Combination combination, double sound, double spelling) noexcept;

// A ratio from 0 to 1 as a percentage cut (not rounded) to two decimals: the
// floor of the ratio times 10000, divided by 100, each step rounded to
// double. Never decreases as the ratio grows.
double ToPercentage(double ratio) noexcept;

// What an answer has to reach to be kept: at least the threshold, and more
// than `displaced`, the answer that a full list of a query's best would push
// out (a later candidate with an equal answer loses the tie).
class Floor {
 public:
  explicit Floor(double threshold = -std::numeric_limits<double>::infinity(),
                 double displaced = -std::numeric_limits<double>::infinity()) noexcept;

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

// A string ready to be scored: as given, and its phonetic form (which a
// method without the sound measure never reads).
struct PreparedString {
  std::u16string_view text;
  std::u16string_view form;
};

class Scorer {
 public:
  // `scratch` is the working storage of the ratios; it must outlive the scorer.
  Scorer(std::int16_t LaMethode, similarity::CodeArrays& scratch) noexcept
      : combination_(CombinationFor(LaMethode)), scratch_(&scratch) {}

  Combination combination() const noexcept { return combination_; }
  bool needsSound() const noexcept { return NeedsSound(combination_); }
  bool needsSpelling() const noexcept { return NeedsSpelling(combination_); }
  double Combined(double sound, double spelling) const noexcept { return Combine(combination_, sound, spelling); }

  // The first string of the pairs scored next. Both strings must be of
  // comparable length; the scorer keeps the views, not the strings.
  void SetQuery(const PreparedString& query) noexcept { query_ = query; }

  // Compare's answer for (query, candidate), in that order.
  double Score(const PreparedString& candidate);

  // The same answer, or nullopt once it is proven not to pass `floor`.
  // `spellingBound` is an upper bound on the spelling measure that the caller
  // already knows (1 when it knows none).
  std::optional<double> Score(const PreparedString& candidate, const Floor& floor, double spellingBound);

 private:
  Combination combination_;
  similarity::CodeArrays* scratch_;
  PreparedString query_;
};

}  // namespace vantel::service
