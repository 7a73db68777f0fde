// The vantel command, as a function of its arguments and streams so that it
// can be run in-process by tests.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

#include "TextInput.h"
#include "TextOutput.h"

namespace vantel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // bad data, a failed read or write, or a run-time error
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

// The program's standard streams.
struct Console {
  ByteSource& in;
  ByteSink& out;
  std::ostream& err;
  bool errIsTerminal = false;
};

// `args` are the arguments after the program name. A read error, or a write
// to standard output that fails, ends the command with a message on `err`
// and kExitFailure.
int RunCli(std::span<const std::string_view> args, const Console& console);
// The same over standard streams, for in-process callers.
int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace vantel::cli
