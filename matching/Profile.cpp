#include "Profile.h"

namespace vantel::matching {

Profile ProfileOf(std::u16string_view text, std::u16string_view form) {
  Profile profile;
  profile.text = text;
  profile.form = form;
  profile.textLength = static_cast<std::int32_t>(text.size());
  profile.formLength = static_cast<std::int32_t>(form.size());
  return profile;
}

}  // namespace vantel::matching
