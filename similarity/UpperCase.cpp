#include "UpperCase.h"

#include <cstdint>

namespace vantel::similarity {
namespace {
#include "UpperCaseTable.inc"
}  // namespace

char16_t UpperCase(char16_t unit) noexcept {
  const std::uint16_t delta = kUpperCaseDeltas[kUpperCaseBlockOfPage[unit >> 8]][unit & 0xFF];
  // Deltas are stored modulo 2^16, so the wrap-around of the sum is intended.
  return static_cast<char16_t>(static_cast<std::uint16_t>(unit + delta));
}

void UpperCaseInto(std::u16string_view text, char16_t* out) noexcept {
  for (const char16_t unit : text) *out++ = UpperCase(unit);
}

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && UpperCase(a[i]) != UpperCase(b[i])) return false;
  }
  return true;
}

}  // namespace vantel::similarity
