// Runs the vantel command in-process, with its standard streams captured.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Cli.h"

namespace vantel::cli {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

inline CliRun RunWith(std::vector<std::string_view> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = RunCli(args, in, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace vantel::cli
