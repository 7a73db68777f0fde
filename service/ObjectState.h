// Everything one CompareUS object owns. Nothing here is shared between
// objects but the immutable automata that the rule set holds a reference to.
#pragma once

#include <string>

#include "phonetics/RuleSet.h"
#include "similarity/GestaltRatio.h"

namespace vantel::detail {

struct ObjectState {
  // RuleText, RuleTable and RuleCount, with the contexts compiled for the matcher.
  phonetics::RuleSet rules;
  // CodesA and CodesB: scratch of the ratio computation, empty between calls.
  similarity::CodeArrays codes;
  bool Initialized = false;
  // The phonetic forms of the two strings of the current comparison, kept to
  // reuse their storage.
  std::u16string formA;
  std::u16string formB;
};

}  // namespace vantel::detail
