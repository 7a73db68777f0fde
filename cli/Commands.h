// The commands of the vantel program. Each reads its own options from the
// cursor and returns the exit status.
#pragma once

#include <iosfwd>
#include <string>

#include "Arguments.h"

namespace vantel::cli {

int RunCompare(ArgumentCursor& args, std::istream& in, std::ostream& out, std::ostream& err);
int RunPhonetic(ArgumentCursor& args, std::istream& in, std::ostream& out, std::ostream& err);
int RunMatch(ArgumentCursor& args, std::istream& in, std::ostream& out, std::ostream& err);

// The shortest decimal that reads back as the same double: 83.33, 100, -1.
std::string FormatAnswer(double answer);

}  // namespace vantel::cli
