#include "Cli.h"

#include <ostream>
#include <string>

#include "Commands.h"
#include "vantel/CompareUS.h"

namespace vantel::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: vantel COMMAND [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "Tells how alike short strings (names, words, spellings) are, in spelling\n"
    "and in sound, as a percentage.\n"
    "\n"
    "Commands:\n"
    "  compare   compare two strings, or the pairs of a file\n"
    "  match     match a list of strings against another, or find its duplicates\n"
    "  phonetic  print the phonetic form of words\n"
    "\n"
    "Run 'vantel COMMAND --help' for the options of a command.\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

using Command = int (*)(ArgumentCursor&, std::istream&, std::ostream&, std::ostream&);

struct CommandEntry {
  std::string_view name;
  Command run;
};

constexpr CommandEntry kCommands[] = {
    {"compare", RunCompare},
    {"phonetic", RunPhonetic},
    {"match", RunMatch},
};

}  // namespace

int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kHelp;
    return kExitUsage;
  }
  const std::string_view first = args.front();
  if (first == "help" && args.size() == 2) {  // "vantel help match" as "vantel match --help"
    const std::string_view asked[] = {args[1], "--help"};
    return RunCli(asked, in, out, err);
  }
  if (first == "--help" || first == "-h" || first == "help") {
    out << kHelp;
    return kExitOk;
  }
  if (first == "--version") {
    out << "vantel " << Version() << '\n';
    return kExitOk;
  }
  for (const CommandEntry& command : kCommands) {
    if (command.name != first) continue;
    ArgumentCursor cursor(args.subspan(1));
    try {
      return command.run(cursor, in, out, err);
    } catch (const UsageError& usage) {
      err << "vantel " << command.name << ": " << usage.what() << "\n"
          << "Run 'vantel " << command.name << " --help' for usage.\n";
      return kExitUsage;
    }
  }
  err << "vantel: unknown command '" << first << "'\nRun 'vantel --help' for usage.\n";
  return kExitUsage;
}

}  // namespace vantel::cli
