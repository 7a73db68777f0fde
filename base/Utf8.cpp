#include "vantel/Utf8.h"

#include <cstdint>

#include "vantel/Errors.h"

namespace vantel {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The code point whose encoding starts at utf8[at] (a byte of 0x80 or more)
// into `cp`, and the length of that encoding; 0 for overlong forms, encoded
// surrogates, code points past U+10FFFF, stray continuation bytes and
// truncated sequences.
inline std::size_t DecodeSequence(std::string_view utf8, std::size_t at, char32_t& cp) noexcept {
  const auto lead = static_cast<unsigned char>(utf8[at]);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (at + k >= utf8.size() || !IsContinuation(static_cast<unsigned char>(utf8[at + k]))) return 0;
    cp = (cp << 6) | (static_cast<unsigned char>(utf8[at + k]) & 0x3Fu);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  Utf8ToUtf16(utf8, out);
  return out;
}

void Utf8ToUtf16(std::string_view utf8, std::u16string& out) {
  // A UTF-16 string never has more units than its UTF-8 form has bytes, so
  // the units go straight into storage sized once, and the loop over ASCII
  // bytes does nothing else.
  out.resize(utf8.size());
  char16_t* const units = out.data();
  std::size_t written = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      units[written++] = static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = DecodeSequence(utf8, i, cp);
    if (length == 0) {
      out.resize(written);
      throw InvalidUtf8(i);
    }
    if (cp < 0x10000) {
      units[written++] = static_cast<char16_t>(cp);
    } else {
      cp -= 0x10000;
      units[written++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      units[written++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
    i += length;
  }
  out.resize(written);
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ++units;
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = DecodeSequence(utf8, i, cp);
    if (length == 0) throw InvalidUtf8(i);
    units += cp < 0x10000 ? 1 : 2;
    i += length;
  }
  return units;
}

std::size_t Utf8SequenceLength(std::string_view utf8, std::size_t at) noexcept {
  if (at >= utf8.size()) return 0;
  if (static_cast<unsigned char>(utf8[at]) < 0x80) return 1;
  char32_t cp = 0;
  return DecodeSequence(utf8, at, cp);
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(utf16[i + 1]) - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace vantel
