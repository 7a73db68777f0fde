#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "Cli.h"
#include "Platform.h"
#ifdef _WIN32
#include <string>

#include "WindowsConsole.h"
#endif

namespace {

int Run(const std::vector<std::string_view>& args) {
  try {
    const auto in = vantel::cli::StandardInputSource();
    const auto out = vantel::cli::StandardOutputSink();
    return vantel::cli::RunCli(args, {*in, *out, std::cerr, vantel::cli::StandardErrorIsTerminal()});
  } catch (const std::exception& failure) {
    std::cerr << "vantel: " << failure.what() << '\n';
    return vantel::cli::kExitFailure;
  }
}

}  // namespace

#ifdef _WIN32
// The arguments as UTF-16 from Windows, the standard streams as UTF-8 bytes
// or, on a console, UTF-16 (WindowsConsole.h): standard input and output
// are read and written through std::cin and std::cout there.
int wmain(int argc, wchar_t** argv) {
  std::ios::sync_with_stdio(false);
  const vantel::cli::windows::StandardStreams streams;
  const std::vector<std::string> arguments = vantel::cli::windows::Utf8Arguments(argc, argv);
  return Run(std::vector<std::string_view>(arguments.begin(), arguments.end()));
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string_view>(argv + 1, argv + argc)); }
#endif
