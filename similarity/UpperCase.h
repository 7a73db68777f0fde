// Locale-independent upper-casing of UTF-16 code units.
#pragma once

#include <string_view>

namespace vantel::similarity {

// The simple upper-case mapping of the Unicode Character Database for a code
// unit of the Basic Multilingual Plane; a unit without one, and every
// surrogate, is returned unchanged. The same on every platform and locale.
char16_t UpperCase(char16_t unit) noexcept;

// Writes the upper-case form of `text`, unit by unit, to `out` (text.size()
// units); the same as UpperCase on each unit.
void UpperCaseInto(std::u16string_view text, char16_t* out) noexcept;

// True when the two strings have equal length and equal upper-case forms, unit by unit.
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) noexcept;

}  // namespace vantel::similarity
