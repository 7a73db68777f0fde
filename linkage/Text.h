// Small text helpers that the linkage layer's readers of values share.
#pragma once

#include <string_view>

namespace vantel::linkage {

// The value without the blanks a file's fields often carry around it.
inline std::string_view Trim(std::string_view text) noexcept {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace vantel::linkage
