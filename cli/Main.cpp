#include <iostream>
#include <string_view>
#include <vector>

#include "cli/Cli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const int status = vantel::cli::RunCli(args, std::cin, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "vantel: cannot write to standard output\n";
    return vantel::cli::kExitFailure;
  }
  return status;
}
