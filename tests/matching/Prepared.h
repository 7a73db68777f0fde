// Profiles of a list of strings, built the way the matcher builds them, with
// the phonetic forms that they view.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "matching/Profile.h"
#include "vantel/CompareUS.h"

namespace vantel::matching::testing {

struct Prepared {
  std::deque<std::u16string> texts, forms;  // a deque never moves what it holds
  std::vector<Profile> profiles;
  std::vector<std::uint32_t> profileOf;  // [position] one profile per string, in list order

  explicit Prepared(const std::vector<std::u16string>& names) {
    CompareUS comparer;
    for (const std::u16string& name : names) {
      texts.push_back(name);
      forms.push_back(comparer.PhoneticForm(name));
      profileOf.push_back(static_cast<std::uint32_t>(profiles.size()));
      profiles.push_back(ProfileOf(texts.back(), forms.back()));
    }
  }
};

}  // namespace vantel::matching::testing
