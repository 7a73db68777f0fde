#include "Profile.h"

#include <utility>

namespace vantel::matching {

Profile ProfileOf(std::u16string text, std::u16string form) {
  Profile profile;
  profile.textLength = static_cast<std::int32_t>(text.size());
  profile.formLength = static_cast<std::int32_t>(form.size());
  profile.letters = CharCounts(text, /*upperCase=*/true);
  profile.phonemes = CharCounts(form, /*upperCase=*/false);
  profile.text = std::move(text);
  profile.form = std::move(form);
  return profile;
}

}  // namespace vantel::matching
