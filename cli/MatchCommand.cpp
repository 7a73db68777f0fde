// vantel match: reads the lists, sets aside the lines that cannot take part,
// and leaves the pairs to the matcher; the lines keep their numbers in the
// files as given, whatever was set aside before them.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

#include "Cli.h"
#include "Commands.h"
#include "PairFormat.h"
#include "ProgressBar.h"
#include "vantel/Errors.h"
#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

constexpr std::string_view kMatchHelp =
    "Usage: vantel match [OPTIONS] QUERIES [CANDIDATES]\n"
    "\n"
    "Compares every string of QUERIES with every string of CANDIDATES (files of\n"
    "one string a line; - for standard input) and writes each pair whose answer\n"
    "reaches the threshold: the query's line number, the candidate's line number,\n"
    "the query, the candidate and the answer, tab-separated. Without CANDIDATES\n"
    "the list is matched against itself to find duplicates: each pair of lines\n"
    "once, the earlier line first. Every answer is that of 'vantel compare'.\n"
    "\n"
    "  --method N      3 sound alone, 99 spelling alone, 1 the smaller of the two,\n"
    "                  2 their mean, 0 or any other number the larger (default 0)\n"
    "  --threshold T   keep answers of T or more, T from 0 to 100 (default 80)\n"
    "  --top K         keep only the K best answers of each query; of equal\n"
    "                  answers, the earlier candidate's\n"
    "  --threads N     score pairs on N threads (default: one per processor)\n"
    "  --format F      tsv (default; a tab, CR or backslash in a string is written\n"
    "                  \\t, \\r, \\\\), csv (RFC 4180) or json (one object a line)\n"
    "  --quiet         no progress bar (one is drawn on standard error only when\n"
    "                  that is a terminal)\n"
    "\n"
    "Pairs come out by query line, then best answer first, then by candidate\n"
    "line. A line that is empty, longer than 70 UTF-16 code units or not valid\n"
    "UTF-8, or whose string cannot be transcribed, is reported on standard error\n"
    "with its line number and takes part in no pair; the exit status is then 1.\n";

constexpr unsigned kMostThreads = 1024;

struct MatchSettings {
  MatchOptions options;
  PairFormat format = PairFormat::Tsv;
  bool quiet = false;
};

double ParseThreshold(std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (text.empty() || failure != std::errc() || stop != end || !(value >= 0.0 && value <= 100.0)) {
    throw UsageError("--threshold: '" + std::string(text) + "' is not a number from 0 to 100");
  }
  return value;
}

std::size_t ParseCount(std::string_view text, std::string_view option, std::size_t most) {
  std::size_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (text.empty() || failure != std::errc() || stop != end || value < 1 || value > most) {
    throw UsageError(std::string(option) + ": '" + std::string(text) + "' is not a whole number from 1 to " +
                     std::to_string(most));
  }
  return value;
}

unsigned DefaultThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

// The lines of one input file: the strings that decode, with their line
// numbers, and a note of each line that does not.
struct ListFile {
  std::string name;
  std::vector<std::string> lines;  // as read, line breaks removed
  std::vector<std::u16string> strings;
  std::vector<std::size_t> lineNumbers;  // of each string, 1-based
};

struct Problem {
  std::size_t file;  // 0 queries, 1 candidates
  std::size_t line;
  std::string reason;
};

// Reads the whole list; a read error leaves as InputError, before anything is matched.
ListFile ReadList(Input& input, std::size_t file, std::vector<Problem>& problems) {
  ListFile list;
  list.name = input.name();
  LineReader lines(input);
  std::string_view line;
  while (lines.Next(line)) {
    try {
      list.strings.push_back(Utf8ToUtf16(line));
    } catch (const InvalidUtf8& bad) {
      problems.push_back({file, lines.lineNumber(), "not valid UTF-8 (byte " + std::to_string(bad.offset() + 1) + ")"});
      continue;
    }
    list.lines.emplace_back(line);
    list.lineNumbers.push_back(lines.lineNumber());
  }
  return list;
}

MatchSettings ParseMatchOptions(ArgumentCursor& args, std::vector<std::string_view>& files, bool& helpAsked) {
  MatchSettings settings;
  settings.options.threads = DefaultThreads();
  while (!args.AtEnd()) {
    const auto option = args.PeekOption();
    if (!option) {
      if (!args.AtEnd()) files.push_back(args.TakeOperand());
      continue;
    }
    if (*option == "--method") {
      settings.options.method = ParseMethod(args.TakeValue(*option));
    } else if (*option == "--threshold") {
      settings.options.threshold = ParseThreshold(args.TakeValue(*option));
    } else if (*option == "--top") {
      settings.options.top = ParseCount(args.TakeValue(*option), *option, SIZE_MAX);
    } else if (*option == "--threads") {
      settings.options.threads = static_cast<unsigned>(ParseCount(args.TakeValue(*option), *option, kMostThreads));
    } else if (*option == "--format") {
      settings.format = ParsePairFormat(args.TakeValue(*option));
    } else if (*option == "--quiet" || *option == "-q") {
      args.TakeFlag(*option);
      settings.quiet = true;
    } else if (*option == "--help" || *option == "-h") {
      args.TakeFlag(*option);
      helpAsked = true;
    } else {
      throw UsageError("unknown option '" + std::string(*option) + "'");
    }
  }
  return settings;
}

}  // namespace

int RunMatch(ArgumentCursor& args, Streams& streams) {
  Output& out = streams.out;
  std::ostream& err = streams.err;
  std::vector<std::string_view> files;
  bool helpAsked = false;
  const MatchSettings settings = ParseMatchOptions(args, files, helpAsked);
  if (helpAsked) {
    out.Put(kMatchHelp);
    return kExitOk;
  }
  if (files.empty() || files.size() > 2) {
    throw UsageError("expected QUERIES and at most one CANDIDATES file, got " + std::to_string(files.size()) +
                     " file argument" + (files.size() == 1 ? "" : "s"));
  }
  if (files.size() == 2 && files[0] == "-" && files[1] == "-") {
    throw UsageError("standard input (-) can be read for QUERIES or for CANDIDATES, not both");
  }

  Input queryInput = OpenInput(files[0], streams, "QUERIES");
  std::optional<Input> candidateInput;
  if (files.size() == 2) candidateInput.emplace(OpenInput(files[1], streams, "CANDIDATES"));

  std::vector<Problem> problems;
  const ListFile queries = ReadList(queryInput, 0, problems);
  const ListFile candidates = candidateInput ? ReadList(*candidateInput, 1, problems) : ListFile{};
  const ListFile& candidateList = candidateInput ? candidates : queries;

  // A string whose transcription fails is set aside here, not thrown.
  std::optional<Matcher> matcher;
  if (candidateInput) {
    matcher.emplace(queries.strings, candidates.strings, settings.options);
  } else {
    matcher.emplace(queries.strings, settings.options);
  }
  for (const Rejection& rejection : matcher->rejections()) {
    const bool isQuery = rejection.list == ListRole::Queries;
    const ListFile& list = isQuery ? queries : candidates;
    problems.push_back({isQuery ? 0u : 1u, list.lineNumbers[rejection.index], rejection.reason});
  }
  std::sort(problems.begin(), problems.end(),
            [](const Problem& a, const Problem& b) { return std::pair(a.file, a.line) < std::pair(b.file, b.line); });
  for (const Problem& problem : problems) {
    const ListFile& list = problem.file == 0 ? queries : candidates;
    err << "vantel match: " << list.name << " line " << problem.line << ": " << problem.reason << '\n';
  }

  std::optional<ProgressBar> bar;
  if (!settings.quiet && streams.errIsTerminal) bar.emplace(err, matcher->pairCount());
  AnswerText answerText;
  const auto emit = [&](const ScoredPair& pair) {
    if (bar) bar->Clear();
    const std::string_view answer = FormatAnswer(pair.answer, answerText);
    WritePair(out, settings.format,
              {queries.lineNumbers[pair.query], candidateList.lineNumbers[pair.candidate], queries.lines[pair.query],
               candidateList.lines[pair.candidate], answer});
  };
  // Called about ten times a second: the pairs found so far are written then,
  // so that an output that fails is found out within that time, however
  // few pairs there are (and the pairs go above the bar, not into it). A
  // failed write throws from a sink, which stops the matcher's workers.
  const auto progress = [&](std::uint64_t done) {
    out.Flush();
    if (bar) bar->Update(done);
  };
  try {
    matcher->Run(emit, progress);
  } catch (const RuntimeError& failure) {  // a comparison failed outright: the run cannot go on
    if (bar) bar->Clear();
    err << "vantel match: " << failure.what() << '\n';
    return kExitFailure;
  } catch (const OutputError&) {
    if (bar) bar->Clear();
    throw;
  }
  if (bar) bar->Clear();
  return problems.empty() ? kExitOk : kExitFailure;
}

}  // namespace vantel::cli
