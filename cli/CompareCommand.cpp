#include <charconv>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

#include "Cli.h"
#include "Commands.h"
#include "NameOptions.h"
#include "vantel/CompareUS.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

constexpr std::string_view kCompareHelp =
    "Usage: vantel compare [--method N] [NAMES] STRING1 STRING2\n"
    "       vantel compare [--method N] [NAMES] --pairs FILE\n"
    "       vantel compare --explain [--method N] [NAMES] STRING1 STRING2\n"
    "\n"
    "Prints how alike two strings are: a percentage from 0 to 100 cut to two\n"
    "decimals, or -1 when a string is empty or longer than 70 UTF-16 units.\n"
    "\n"
    "  --method N     3 sound alone, 99 spelling alone, 1 the smaller of the two,\n"
    "                 2 their mean, 0 or any other number the larger (default 0)\n"
    "  --pairs FILE   compare the two tab-separated strings of each line of FILE\n"
    "                 (- for standard input) and write each line back with a tab\n"
    "                 and the answer added; a bad line gets an empty answer and\n"
    "                 is reported on standard error, and the others go on\n"
    "  --explain      print both measures (cut as an answer is), both phonetic\n"
    "                 forms and the answer of every method, a line each; with the\n"
    "                 options below, first every form of each string (form1,\n"
    "                 form2; sorted1, sorted2 with --order any) and the two forms\n"
    "                 whose answer (with --method) was the largest, whose measures\n"
    "                 follow\n"
    "\n";

// Why a line of --pairs input cannot be compared; empty when it can.
std::string CompareLine(CompareUS& comparer, std::string_view line, std::int16_t method, const NameOptions& names,
                        std::u16string& first, std::u16string& second, double& answer) {
  const std::size_t tab = line.find('\t');
  if (tab == std::string_view::npos) return "expected two strings separated by a tab, found no tab";
  if (line.find('\t', tab + 1) != std::string_view::npos) {
    return "expected two strings separated by a tab, found more than one tab";
  }
  const auto convert = [](std::string_view text, std::u16string& into, std::string_view which) -> std::string {
    try {
      Utf8ToUtf16(text, into);
      return {};
    } catch (const InvalidUtf8& bad) {
      return std::string(which) + " string is not valid UTF-8 (byte " + std::to_string(bad.offset() + 1) + ")";
    }
  };
  if (std::string reason = convert(line.substr(0, tab), first, "first"); !reason.empty()) return reason;
  if (std::string reason = convert(line.substr(tab + 1), second, "second"); !reason.empty()) return reason;
  try {
    answer = names.any() ? CompareNames(comparer, first, second, method, names).answer
                         : comparer.Compare(std::u16string_view(first), std::u16string_view(second), method);
  } catch (const RuntimeError& failure) {
    return failure.what();
  }
  return {};
}

// Streams: each line is answered as soon as it is read, and what was
// answered before a read error stays written.
int ComparePairs(Input& input, std::int16_t method, const NameOptions& names, Streams& streams) {
  CompareUS comparer;
  Output& out = streams.out;
  LineReader lines(input, [&out] { out.Flush(); });
  std::u16string first, second;  // reused: no allocation per line
  AnswerText text;
  bool anyBad = false;
  std::string_view line;
  while (lines.Next(line)) {
    double answer = 0.0;
    const std::string reason = CompareLine(comparer, line, method, names, first, second, answer);
    out.Put(line);
    out.Put('\t');
    if (reason.empty()) {
      out.Put(FormatAnswer(answer, text));
    } else {
      streams.err << "vantel compare: " << input.name() << " line " << lines.lineNumber() << ": " << reason << '\n';
      anyBad = true;
    }
    out.Put('\n');
  }
  return anyBad ? kExitFailure : kExitOk;
}

// Both measures, both forms, and every method's answer: what an answer is made of.
int Explain(CompareUS& comparer, std::u16string_view first, std::u16string_view second, std::int16_t method,
            const NameOptions& names, Streams& streams);

}  // namespace

std::string_view FormatAnswer(double answer, AnswerText& text) {
  // An answer is -1 or a whole number of hundredths k / 100 from 0 to 100,
  // the double nearest that fraction. Its shortest decimal is then k's
  // digits with the point put back and trailing zeros dropped: no other
  // decimal of as few digits lies within the doubles' spacing of it. That
  // costs a tenth of the general search, which takes any other double.
  char* const start = text.data();
  if (answer == -1.0) return "-1";
  const double hundredths = answer * 100.0;
  if (!std::signbit(answer) && hundredths <= 10000.0) {
    const auto k = static_cast<std::uint32_t>(std::lround(hundredths));
    if (static_cast<double>(k) / 100.0 == answer) {
      char* end = std::to_chars(start, start + text.size(), k / 100).ptr;
      if (const std::uint32_t cents = k % 100; cents != 0) {
        *end++ = '.';
        *end++ = static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0) *end++ = static_cast<char>('0' + cents % 10);
      }
      return {start, static_cast<std::size_t>(end - start)};
    }
  }
  const auto written = std::to_chars(start, start + text.size(), answer);
  return {start, static_cast<std::size_t>(written.ptr - start)};
}

std::string FormatAnswer(double answer) {
  AnswerText text;
  return std::string(FormatAnswer(answer, text));
}

namespace {

int Explain(CompareUS& comparer, std::u16string_view first, std::u16string_view second, std::int16_t method,
            const NameOptions& names, Streams& streams) {
  Output& out = streams.out;
  const auto line = [&](std::string_view name, std::string_view value) {
    out.Put(name);
    out.Put('\t');
    out.Put(value);
    out.Put('\n');
  };
  try {
    // Under the options of name forms, the measures are those of the two
    // forms that gave the answer.
    std::u16string compared1(first), compared2(second);
    if (names.any()) {
      // Forms as written are compared with forms as written, sorted ones with sorted ones.
      const std::vector<std::u16string> firstForms = NameForms(first, names), secondForms = NameForms(second, names);
      for (const std::u16string& form : firstForms) line("form1", Utf16ToUtf8(form));
      for (const std::u16string& form : secondForms) line("form2", Utf16ToUtf8(form));
      for (const std::u16string& form : SortedNameForms(firstForms, names)) line("sorted1", Utf16ToUtf8(form));
      for (const std::u16string& form : SortedNameForms(secondForms, names)) line("sorted2", Utf16ToUtf8(form));
      NamesAnswer best = CompareNames(comparer, first, second, method, names);
      compared1 = std::move(best.first);
      compared2 = std::move(best.second);
      line("compared1", Utf16ToUtf8(compared1));
      line("compared2", Utf16ToUtf8(compared2));
    }
    line("sound", FormatAnswer(comparer.Compare(compared1, compared2, 3)));
    line("spelling", FormatAnswer(comparer.Compare(compared1, compared2, 99)));
    line("phonetic1", Utf16ToUtf8(comparer.PhoneticForm(compared1)));
    line("phonetic2", Utf16ToUtf8(comparer.PhoneticForm(compared2)));
    for (const int each : {0, 1, 2, 3, 99}) {
      const auto eachMethod = static_cast<std::int16_t>(each);
      line("method " + std::to_string(each),
           FormatAnswer(names.any() ? CompareNames(comparer, first, second, eachMethod, names).answer
                                    : comparer.Compare(first, second, eachMethod)));
    }
  } catch (const RuntimeError& failure) {
    streams.err << "vantel compare: " << failure.what() << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int RunCompare(ArgumentCursor& args, Streams& streams) {
  std::int16_t method = 0;
  std::optional<std::string_view> pairsFile;
  bool explain = false;
  std::vector<std::string_view> strings;
  NameSettings nameSettings;
  while (!args.AtEnd()) {
    if (const auto option = args.PeekOption()) {
      if (TakeNameOption(args, *option, nameSettings)) {
        continue;
      } else if (*option == "--method") {
        method = ParseMethod(args.TakeValue(*option));
      } else if (*option == "--explain") {
        args.TakeFlag(*option);
        explain = true;
      } else if (*option == "--pairs") {
        pairsFile = args.TakeValue(*option);
      } else if (*option == "--help" || *option == "-h") {
        args.TakeFlag(*option);
        streams.out.Put(kCompareHelp);
        streams.out.Put(kNameOptionsHelp);
        return kExitOk;
      } else {
        throw UsageError("unknown option '" + std::string(*option) + "'");
      }
    } else if (!args.AtEnd()) {
      strings.push_back(args.TakeOperand());
    }
  }

  if (pairsFile && explain) throw UsageError("--explain takes STRING1 and STRING2, not --pairs");
  const NameOptions names = ResolveNameOptions(nameSettings);
  if (pairsFile) {
    if (!strings.empty()) throw UsageError("--pairs takes no STRING arguments");
    Input input = OpenInput(*pairsFile, streams, "--pairs");
    return ComparePairs(input, method, names, streams);
  }
  if (strings.size() != 2) {
    throw UsageError("expected STRING1 and STRING2 (or --pairs FILE), got " + std::to_string(strings.size()) +
                     " string argument" + (strings.size() == 1 ? "" : "s"));
  }
  const std::u16string first = ArgumentToUtf16(strings[0], "STRING1");
  const std::u16string second = ArgumentToUtf16(strings[1], "STRING2");
  CompareUS comparer;
  if (explain) return Explain(comparer, first, second, method, names, streams);
  try {
    streams.out.Put(
        FormatAnswer(names.any() ? CompareNames(comparer, first, second, method, names).answer
                                 : comparer.Compare(std::u16string_view(first), std::u16string_view(second), method)));
    streams.out.Put('\n');
  } catch (const RuntimeError& failure) {
    streams.err << "vantel compare: " << failure.what() << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace vantel::cli
