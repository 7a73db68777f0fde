// Short ASCII spellings of UTF-16 test data, for names of parameterised tests
// that stay the same from run to run (ctest -R, timing history).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vantel::testing {

// ASCII letters and digits as they are, "(empty)" for the empty string, and
// every other unit as _XXXX in hexadecimal.
inline std::string Printable(std::u16string_view text) {
  if (text.empty()) return "(empty)";
  std::string printed;
  for (const char16_t unit : text) {
    if ((unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9')) {
      printed += static_cast<char>(unit);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "_%04X", static_cast<unsigned>(unit));
      printed += hex;
    }
  }
  return printed;
}

}  // namespace vantel::testing
