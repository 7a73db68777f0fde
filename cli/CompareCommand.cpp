#include <charconv>
#include <istream>
#include <ostream>
#include <vector>

#include "Cli.h"
#include "Commands.h"
#include "Input.h"
#include "vantel/CompareUS.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

constexpr std::string_view kCompareHelp =
    "Usage: vantel compare [--method N] STRING1 STRING2\n"
    "       vantel compare [--method N] --pairs FILE\n"
    "\n"
    "Prints how alike two strings are: a percentage from 0 to 100 cut to two\n"
    "decimals, or -1 when a string is empty or longer than 70 UTF-16 units.\n"
    "\n"
    "  --method N     3 sound alone, 99 spelling alone, 1 the smaller of the two,\n"
    "                 2 their mean, 0 or any other number the larger (default 0)\n"
    "  --pairs FILE   compare the two tab-separated strings of each line of FILE\n"
    "                 (- for standard input) and write each line back with a tab\n"
    "                 and the answer added; a bad line gets an empty answer and\n"
    "                 is reported on standard error, and the others go on\n";

// A line of --pairs input that cannot be compared.
struct BadLine {
  std::string reason;
};

std::u16string LineFieldToUtf16(std::string_view text, std::string_view which) {
  try {
    return Utf8ToUtf16(text);
  } catch (const InvalidUtf8& bad) {
    throw BadLine{std::string(which) + " string is not valid UTF-8 (byte " + std::to_string(bad.offset() + 1) + ")"};
  }
}

std::string CompareLine(CompareUS& comparer, std::string_view line, std::int16_t method) {
  const std::size_t tab = line.find('\t');
  if (tab == std::string_view::npos) throw BadLine{"expected two strings separated by a tab, found no tab"};
  if (line.find('\t', tab + 1) != std::string_view::npos) {
    throw BadLine{"expected two strings separated by a tab, found more than one tab"};
  }
  const std::u16string first = LineFieldToUtf16(line.substr(0, tab), "first");
  const std::u16string second = LineFieldToUtf16(line.substr(tab + 1), "second");
  try {
    return FormatAnswer(comparer.Compare(std::u16string_view(first), std::u16string_view(second), method));
  } catch (const RuntimeError& failure) {
    throw BadLine{failure.what()};
  }
}

int ComparePairs(InputFile& input, std::int16_t method, std::ostream& out, std::ostream& err) {
  CompareUS comparer;
  std::string line;
  std::size_t lineNumber = 0;
  bool anyBad = false;
  while (ReadLine(input.stream(), line)) {
    ++lineNumber;
    std::string answer;
    try {
      answer = CompareLine(comparer, line, method);
    } catch (const BadLine& bad) {
      err << "vantel compare: " << input.name() << " line " << lineNumber << ": " << bad.reason << '\n';
      anyBad = true;
    }
    out << line << '\t' << answer << '\n';
  }
  if (input.stream().bad()) {
    err << "vantel compare: " << input.name() << ": read error after line " << lineNumber << '\n';
    return kExitFailure;
  }
  return anyBad ? kExitFailure : kExitOk;
}

}  // namespace

std::string FormatAnswer(double answer) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, answer);
  return std::string(buffer, result.ptr);
}

int RunCompare(ArgumentCursor& args, std::istream& in, std::ostream& out, std::ostream& err) {
  std::int16_t method = 0;
  std::optional<std::string_view> pairsFile;
  std::vector<std::string_view> strings;
  while (!args.AtEnd()) {
    if (const auto option = args.PeekOption()) {
      if (*option == "--method") {
        method = ParseMethod(args.TakeValue(*option));
      } else if (*option == "--pairs") {
        pairsFile = args.TakeValue(*option);
      } else if (*option == "--help" || *option == "-h") {
        args.TakeFlag(*option);
        out << kCompareHelp;
        return kExitOk;
      } else {
        throw UsageError("unknown option '" + std::string(*option) + "'");
      }
    } else if (!args.AtEnd()) {
      strings.push_back(args.TakeOperand());
    }
  }

  if (pairsFile) {
    if (!strings.empty()) throw UsageError("--pairs takes no STRING arguments");
    InputFile input(*pairsFile, in, "--pairs");
    return ComparePairs(input, method, out, err);
  }
  if (strings.size() != 2) {
    throw UsageError("expected STRING1 and STRING2 (or --pairs FILE), got " + std::to_string(strings.size()) +
                     " string argument" + (strings.size() == 1 ? "" : "s"));
  }
  const std::u16string first = ArgumentToUtf16(strings[0], "STRING1");
  const std::u16string second = ArgumentToUtf16(strings[1], "STRING2");
  CompareUS comparer;
  try {
    out << FormatAnswer(comparer.Compare(std::u16string_view(first), std::u16string_view(second), method)) << '\n';
  } catch (const RuntimeError& failure) {
    err << "vantel compare: " << failure.what() << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace vantel::cli
