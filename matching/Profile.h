// What the matcher knows about one distinct string, worked out once however
// many pairs the string takes part in.
#pragma once

#include <cstdint>
#include <string_view>

#include "CharCounts.h"
#include "service/Scorer.h"

namespace vantel::matching {

// The text and its phonetic form are views: the matcher keeps the characters
// of all its strings in a few large pools rather than in a string each. The
// character counts are worked out where they are needed (the layout keeps
// those of the candidates), which keeps a profile to a few words.
struct Profile {
  std::u16string_view text;
  std::u16string_view form;  // the phonetic form; empty when the method needs no sound measure
  std::int32_t textLength = 0;
  std::int32_t formLength = 0;

  service::PreparedString prepared() const noexcept { return {text, form}; }
  // The counts of the text upper-cased, as the spelling measure sees it, and of the form, exactly.
  CharCounts Letters() const { return CharCounts(text, /*upperCase=*/true); }
  CharCounts Phonemes() const { return CharCounts(form, /*upperCase=*/false); }
};

// The profile of `text` with its phonetic form `form` (empty when the method
// needs no sound measure), viewing both: they must outlive the profile. Both
// are at most a few hundred units long.
Profile ProfileOf(std::u16string_view text, std::u16string_view form);

}  // namespace vantel::matching
