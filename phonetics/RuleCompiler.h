// The rule notation: left context " [[ " letters " ]] " right context " -> "
// phonemes, split into the five fields of a compiled row.
#pragma once

#include <string_view>

#include "RuleSet.h"

namespace vantel::phonetics {

// Where the fields of `rule` lie. A rule that lacks a delimiter, has them
// out of order, or has no letters throws RuntimeError (invalid procedure call
// or argument).
RuleFields SplitRule(std::u16string_view rule);

}  // namespace vantel::phonetics
