// Conversions between UTF-8 and the UTF-16 strings the component works on.
#pragma once

#include <string>
#include <string_view>

namespace vantel {

// Throws InvalidUtf8 for overlong forms, encoded surrogates, code points past
// U+10FFFF, stray continuation bytes and truncated sequences.
std::u16string Utf8ToUtf16(std::string_view utf8);
// The same into `out`, whose storage is reused: converting many strings into
// one buffer allocates only when it must grow. On InvalidUtf8, `out` holds
// the part before the bad byte.
void Utf8ToUtf16(std::string_view utf8, std::u16string& out);

// A surrogate without its partner becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace vantel
