// Conversions between UTF-8 and the UTF-16 strings the component works on.
#pragma once

#include <cstddef>
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
// The number of UTF-16 units Utf8ToUtf16 would make of `utf8`, found without
// storing them (a text too long to use is measured at no cost in memory);
// throws InvalidUtf8 where Utf8ToUtf16 would.
std::size_t Utf16Length(std::string_view utf8);
// The length of the valid UTF-8 encoding of one code point that starts at
// `utf8[at]`: 1 to 4 bytes, or 0 when no valid one starts there.
std::size_t Utf8SequenceLength(std::string_view utf8, std::size_t at) noexcept;

// A surrogate without its partner becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace vantel
