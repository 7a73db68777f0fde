#include "Cli.h"

#include <istream>
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
    "  index     prepare a list of candidates once, into an index file\n"
    "  match     match a list of strings against another, or find its duplicates\n"
    "  link      link records by several fields, or find the duplicate records of a file\n"
    "  phonetic  print the phonetic form of words\n"
#if VANTEL_HAVE_SERVER
    "  serve     answer lookups of a list over HTTP with JSON\n"
#endif
    "\n"
    "Run 'vantel COMMAND --help' for the options of a command.\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

using Command = int (*)(ArgumentCursor&, Streams&);

struct CommandEntry {
  std::string_view name;
  Command run;
};

// A build without the lookup server knows no serve command.
#if VANTEL_HAVE_SERVER
constexpr Command kServe = RunServe;
#else
constexpr Command kServe = nullptr;
#endif

constexpr CommandEntry kCommands[] = {
    {"compare", RunCompare}, {"phonetic", RunPhonetic}, {"match", RunMatch},
    {"index", RunIndex},     {"link", RunLink},         {"serve", kServe},
};

int Dispatch(std::span<const std::string_view> args, Streams& streams) {
  std::ostream& err = streams.err;
  if (args.empty()) {
    err << kHelp;
    return kExitUsage;
  }
  const std::string_view first = args.front();
  if (first == "help" && args.size() == 2) {  // "vantel help match" as "vantel match --help"
    const std::string_view asked[] = {args[1], "--help"};
    return Dispatch(asked, streams);
  }
  if (first == "--help" || first == "-h" || first == "help") {
    streams.out.Put(kHelp);
    return kExitOk;
  }
  if (first == "--version") {
    streams.out.Put("vantel ");
    streams.out.Put(Version());
    streams.out.Put('\n');
    return kExitOk;
  }
  for (const CommandEntry& command : kCommands) {
    if (command.name != first || command.run == nullptr) continue;
    ArgumentCursor cursor(args.subspan(1));
    try {
      const int status = command.run(cursor, streams);
      streams.out.Flush();
      return status;
    } catch (const UsageError& usage) {
      err << "vantel " << command.name << ": " << usage.what() << "\n"
          << "Run 'vantel " << command.name << " --help' for usage.\n";
      return kExitUsage;
    } catch (const InputError& failure) {
      // What a streaming command answered before the input failed stays written.
      try {
        streams.out.Flush();
      } catch (const OutputError& lost) {
        err << "vantel " << command.name << ": " << lost.what() << '\n';
      }
      err << "vantel " << command.name << ": " << failure.what() << '\n';
      return kExitFailure;
    } catch (const OutputError& failure) {
      err << "vantel " << command.name << ": " << failure.what() << '\n';
      return kExitFailure;
    }
  }
  err << "vantel: unknown command '" << first << "'\nRun 'vantel --help' for usage.\n";
  return kExitUsage;
}

}  // namespace

int RunCli(std::span<const std::string_view> args, const Console& console) {
  Output out(console.out, "standard output");
  Streams streams{console.in, out, console.err, console.errIsTerminal};
  const int status = Dispatch(args, streams);
  if (out.failed()) return status == kExitUsage ? status : kExitFailure;  // already reported
  try {
    out.Flush();
  } catch (const OutputError& failure) {
    console.err << "vantel: " << failure.what() << '\n';
    return kExitFailure;
  }
  return status;
}

int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out, std::ostream& err) {
  StreamSource source(in);
  StreamSink sink(out);
  return RunCli(args, Console{source, sink, err, false});
}

}  // namespace vantel::cli
