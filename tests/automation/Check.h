// A small check harness for the programs that run under Wine, where GoogleTest
// is not available. Every check prints one line; the closing line
// "RESULT <suite> passed=N failed=M" is what scripts/test-windows.sh counts,
// and a program that dies before printing it counts as failed.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace vantel::automation::test {

inline std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
  return out;
}

inline std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), units);
  return out;
}

inline std::string Hex(long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

class Checks {
 public:
  // Returns `ok`, so that a check can guard the ones that depend on it. The
  // detail is shown for a failed check only.
  bool Check(bool ok, const std::string& what, const std::string& detail = {}) {
    (ok ? passed_ : failed_) += 1;
    const bool explain = !ok && !detail.empty();
    std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", what.c_str(), explain ? ": " : "", explain ? detail.c_str() : "");
    std::fflush(stdout);
    return ok;
  }

  bool Result(HRESULT actual, HRESULT expected, const std::string& what) {
    return Check(actual == expected, what,
                 actual == expected ? std::string{} : "got " + Hex(actual) + ", want " + Hex(expected));
  }

  bool Text(std::wstring_view actual, std::wstring_view expected, const std::string& what) {
    return Check(actual == expected, what,
                 actual == expected ? std::string{} : "got \"" + Utf8(actual) + "\", want \"" + Utf8(expected) + "\"");
  }

  bool Number(double actual, double expected, const std::string& what) {
    char detail[96] = "";
    if (actual != expected) std::snprintf(detail, sizeof detail, "got %.17g, want %.17g", actual, expected);
    return Check(actual == expected, what, detail);
  }

  // Prints the closing line; the exit status of the program.
  int Finish(const char* suite) const {
    std::printf("RESULT %s passed=%d failed=%d\n", suite, passed_, failed_);
    std::fflush(stdout);
    return failed_ == 0 ? 0 : 1;
  }

 private:
  int passed_ = 0;
  int failed_ = 0;
};

}  // namespace vantel::automation::test
