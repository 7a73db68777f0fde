// vantel index: reads a candidate file as `vantel match` reads CANDIDATES,
// prepares it (the phonetic forms) and stores it with the fields that the
// output of a match carries, so that `vantel match --index` and
// `vantel serve --index` take it up without reading or transcribing again.
// With --compact it folds the changes a server took into an index instead.

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "Commands.h"
#include "RecordFile.h"
#include "vantel/Index.h"
#include "vantel/Match.h"
#include "vantel/MatchRequest.h"
#if VANTEL_HAVE_SERVER
#include "server/Compaction.h"
#endif

namespace vantel::cli {
namespace {

constexpr std::string_view kIndexHelp =
    "Usage: vantel index [OPTIONS] FILE -o NAME.vidx\n"
    "\n"
    "Prepares FILE (one string a line, or a CSV or TSV file of records; - for\n"
    "standard input) as the candidates of 'vantel match' and stores it in the\n"
    "index NAME.vidx, with the phonetic form of every string, its id and the\n"
    "fields to carry. 'vantel match --index NAME.vidx QUERIES' then gives the\n"
    "pairs of 'vantel match QUERIES FILE' with the same options, and opens the\n"
    "index without transcribing anything.\n"
    "\n"
    "  -o, --output F  the index file to write (replaced if it exists)\n"
    "  --threads N     transcribe on N threads (default, and 0: one per processor)\n"
    "  --compact       FILE is an index: fold the changes that 'vantel serve'\n"
    "                  took (FILE.journal) into it, or into the index -o names;\n"
    "                  ids stay as they are. Refused while a server that takes\n"
    "                  changes holds the journal.\n"
    "\n"
    "Records: --input, --no-header, --column, --id, --keep and --delimiter as\n"
    "for 'vantel match'. A row that cannot take part is reported on standard\n"
    "error with its line number, stored in the index to be reported again by\n"
    "each match, and the exit status is 1.\n";

void WriteFile(const std::string& path, const std::string& bytes) {
  // The name is UTF-8, whatever the system's code page.
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (!out) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    throw OutputError("cannot write the index " + path);
  }
}

// --compact: the index FILE with its journal folded in, written to `output` (FILE itself by default).
int RunCompact(const std::string& file, const std::string& output, Streams& streams) {
#if VANTEL_HAVE_SERVER
  server::Compacted compacted;
  try {
    compacted = server::CompactIndex(file, output);
  } catch (const IndexError& refused) {
    throw InputError(refused.what());
  } catch (const server::CompactionError& failure) {
    throw InputError(failure.what());
  }
  if (compacted.cutShort) {
    streams.err << "vantel index: " << file << ".journal: its last line was cut short before it was acknowledged, "
                << "and is left out\n";
  }
  streams.err << "vantel index: " << output << ": " << compacted.records << " records, " << compacted.changes
              << " changes folded in\n";
  return kExitOk;
#else
  (void)file;
  (void)output;
  (void)streams;
  throw UsageError("--compact needs the lookup server, which this build of vantel lacks");
#endif
}

}  // namespace

int RunIndex(ArgumentCursor& args, Streams& streams) {
  RecordSelection records;
  std::optional<std::string> output;
  std::vector<std::string_view> files;
  unsigned threads = CheckedThreads(0);
  bool helpAsked = false;
  bool compact = false;
  bool recordOptions = false;
  bool threadsGiven = false;
  while (!args.AtEnd()) {
    const auto option = args.PeekOption();
    if (!option) {
      if (!args.AtEnd()) files.push_back(args.TakeOperand());
      continue;
    }
    if (TakeRecordOption(args, *option, records)) {
      recordOptions = true;
      continue;
    }
    if (*option == "--compact") {
      args.TakeFlag(*option);
      compact = true;
    } else if (*option == "-o" || *option == "--output") {
      output = std::string(args.TakeValue(*option));
    } else if (*option == "--threads") {
      threads = ParseThreads(args.TakeValue(*option));
      threadsGiven = true;
    } else if (*option == "--help" || *option == "-h") {
      args.TakeFlag(*option);
      helpAsked = true;
    } else {
      throw UsageError("unknown option '" + std::string(*option) + "'");
    }
  }
  if (helpAsked) {
    streams.out.Put(kIndexHelp);
    return kExitOk;
  }
  if (files.size() != 1) throw UsageError("expected one FILE, got " + std::to_string(files.size()));
  if (compact) {
    if (recordOptions) throw UsageError("--compact takes no record options: the index has its records");
    if (threadsGiven) throw UsageError("--compact takes no --threads: it transcribes only what the journal added");
    if (files[0] == "-") throw UsageError("--compact needs the index as a file, not standard input");
    const std::string index(files[0]);
    return RunCompact(index, output && !output->empty() ? *output : index, streams);
  }
  if (!output || output->empty()) throw UsageError("give the index file to write with -o NAME.vidx");

  Input input = OpenInput(files[0], streams, "FILE");
  std::vector<Problem> problems;
  const RecordFile file = ReadRecordFile(input, 1, records, problems);
  MatchOptions options;
  options.threads = threads;
  const PreparedCandidates prepared(file.strings, options);

  IndexRecords stored;
  stored.sourceName = file.name;
  stored.idName = file.idName;
  stored.stringName = file.stringName;
  stored.keepNames = file.keepNames;
  stored.numberedIds = !file.id;
  // Row numbers are written out once, here, as the output gives them.
  std::vector<std::string> numbers;
  if (!file.id) {
    numbers.reserve(file.rows.size());
    for (const std::size_t row : file.rows) numbers.push_back(std::to_string(row + 1));
  }
  stored.fields.reserve(file.rows.size() * (2 + file.keeps.size()));
  stored.lines.reserve(file.rows.size());
  for (std::size_t candidate = 0; candidate < file.rows.size(); ++candidate) {
    const std::size_t row = file.rows[candidate];
    stored.fields.push_back(file.id ? file.table.field(row, *file.id) : std::string_view(numbers[candidate]));
    stored.fields.push_back(file.table.field(row, file.column));
    for (const std::size_t keep : file.keeps) stored.fields.push_back(file.table.field(row, keep));
    stored.lines.push_back(file.table.line(row));
  }
  for (const Problem& problem : problems) stored.problems.emplace_back(problem.line, problem.reason);

  std::string bytes;
  WriteIndex(bytes, prepared, stored);
  WriteFile(*output, bytes);

  // The rows set aside, and those the matcher will refuse whatever the method.
  std::vector<std::pair<std::uint64_t, std::string>> reported = stored.problems;
  for (const Rejection& rejection : prepared.parts().rejections) {
    reported.emplace_back(file.table.line(file.rows[rejection.index]), rejection.reason);
  }
  std::stable_sort(reported.begin(), reported.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [line, reason] : reported) {
    streams.err << "vantel index: " << file.name << " line " << line << ": " << reason << '\n';
  }
  return reported.empty() ? kExitOk : kExitFailure;
}

}  // namespace vantel::cli
