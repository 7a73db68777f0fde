// Small text helpers that the linkage layer's readers of values share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantel::linkage {

// The value without the blanks a file's fields often carry around it.
inline std::string_view Trim(std::string_view text) noexcept {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

// Whether a character counts in a code (a postcode, a phone number): in
// ASCII only letters and digits do; beyond it all but the spaces, dashes and
// invisible marks that only lay a number out (a no-break space between
// groups of digits, an en dash).
inline bool CountsInCode(char32_t c) noexcept {
  if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (c == 0x00A0 || c == 0x00AD || c == 0x202F || c == 0x205F || c == 0x2212 || c == 0x3000 || c == 0xFEFF)
    return false;
  return !(c >= 0x2000 && c <= 0x2015);  // spaces, zero-width marks, hyphens and dashes
}

// The key of a code: the characters that count in it, ASCII letters in
// lower case; with `tail`, only the last that many characters, so that
// "+44 7700 900123" and "07700 900123" are one phone. A byte that begins no
// well-formed UTF-8 character is kept as it is.
std::string CodeKey(std::string_view text, std::uint32_t tail);

}  // namespace vantel::linkage
