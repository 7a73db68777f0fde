// Words of a name and their letter case, shared by the forms of a name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantel::names {

// Where a name's words stand: the runs between spaces, commas and hyphens.
struct WordSpan {
  std::size_t start;
  std::size_t length;
};
std::vector<WordSpan> SplitWords(std::u16string_view text);

// Lower case for the letters that names are written in: Latin (ASCII,
// Latin-1, Latin Extended-A), Greek and Cyrillic. Other code units stay.
char16_t LowerCase(char16_t unit) noexcept;
std::u16string LowerCase(std::u16string_view text);

}  // namespace vantel::names
