// The built-in English rule set, as source strings in the rule notation.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace vantel::phonetics {

inline constexpr std::size_t kEnglishRuleCount = 349;

// The rules in priority order; the data lives in EnglishRules.cpp.
std::span<const std::u16string_view> EnglishRules() noexcept;

}  // namespace vantel::phonetics
