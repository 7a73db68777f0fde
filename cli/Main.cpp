#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "Cli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  int status = vantel::cli::kExitFailure;
  try {
    status = vantel::cli::RunCli(args, std::cin, std::cout, std::cerr);
  } catch (const std::exception& failure) {
    std::cerr << "vantel: " << failure.what() << '\n';
    return vantel::cli::kExitFailure;
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "vantel: cannot write to standard output\n";
    return vantel::cli::kExitFailure;
  }
  return status;
}
