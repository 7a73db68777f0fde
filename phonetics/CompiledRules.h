// The part of a compiled rule set that only the matcher reads.
#pragma once

#include <array>
#include <optional>

#include "KeyIndex.h"
#include "Pattern.h"
#include "RuleSet.h"

namespace vantel::phonetics {

// The contexts of one row, compiled once for the matcher. An empty optional
// marks a context outside the pattern dialect, refused when the matcher
// reaches the row.
struct CompiledContexts {
  std::optional<Pattern> left;
  std::optional<Pattern> right;
};

struct CompiledRules {
  std::array<CompiledContexts, kRuleRows> contexts;
  KeyIndex index;  // over the rows that CompileRules walked
};

}  // namespace vantel::phonetics
