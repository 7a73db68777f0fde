// The vantel command, as a function of its arguments and streams so that it
// can be run in-process by tests.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace vantel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // bad data or a run-time error; the rest went on
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

// `args` are the arguments after the program name.
int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace vantel::cli
