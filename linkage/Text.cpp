// The key of a code, shared by the code field and the block key last(C,N),
// so that a block on a code's tail is equality on the field as it compares.

#include "Text.h"

namespace vantel::linkage {

std::string CodeKey(std::string_view text, std::uint32_t tail) {
  std::string key;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      const char c = text[at++];
      if (c >= 'A' && c <= 'Z')
        key.push_back(static_cast<char>(c - 'A' + 'a'));
      else if (CountsInCode(static_cast<char32_t>(lead)))
        key.push_back(c);
      continue;
    }
    // A character beyond ASCII counts unless it only lays the code out.
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    char32_t c = lead & (length == 4 ? 0x07u : length == 3 ? 0x0Fu : 0x1Fu);
    bool wellFormed = length > 1 && at + length <= text.size();
    for (std::size_t i = 1; wellFormed && i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      wellFormed = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3Fu);
    }
    const std::size_t taken = wellFormed ? length : 1;
    if (!wellFormed || CountsInCode(c)) key.append(text.substr(at, taken));
    at += taken;
  }
  if (tail == 0 || key.size() <= tail) return key;
  // Counted in characters: the first kept must not be the middle of one.
  std::size_t from = key.size();
  for (std::uint32_t kept = 0; kept < tail && from > 0; ++kept) {
    --from;
    while (from > 0 && (static_cast<unsigned char>(key[from]) & 0xC0) == 0x80) --from;
  }
  return key.substr(from);
}

}  // namespace vantel::linkage
