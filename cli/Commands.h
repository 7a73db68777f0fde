// The commands of the vantel program. Each reads its own options from the
// cursor and returns the exit status; a read error or a failed write leaves
// it as InputError or OutputError, which RunCli reports.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "Arguments.h"
#include "Streams.h"

namespace vantel::cli {

int RunCompare(ArgumentCursor& args, Streams& streams);
int RunPhonetic(ArgumentCursor& args, Streams& streams);
int RunMatch(ArgumentCursor& args, Streams& streams);
int RunIndex(ArgumentCursor& args, Streams& streams);
int RunLink(ArgumentCursor& args, Streams& streams);
// Built only with the lookup server (VANTEL_HAVE_SERVER).
int RunServe(ArgumentCursor& args, Streams& streams);

// The shortest decimal that reads back as the same double: 83.33, 100, -1.
std::string FormatAnswer(double answer);
// The same into `text`, without allocating.
using AnswerText = std::array<char, 32>;
std::string_view FormatAnswer(double answer, AnswerText& text);

}  // namespace vantel::cli
