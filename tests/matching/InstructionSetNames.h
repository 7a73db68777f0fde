// How tests show an instruction set: by its name.
#pragma once

#include <ostream>

#include "vantel/Match.h"

namespace vantel {

inline void PrintTo(InstructionSet set, std::ostream* out) { *out << NameOf(set); }

}  // namespace vantel
