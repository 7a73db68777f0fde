// vantel match: reads the lists or record files, sets aside the rows that
// cannot take part, and leaves the pairs to the matcher; the rows keep their
// numbers and lines in the files as given, whatever was set aside before
// them. The output streams: a row per pair as the matcher hands it over, or,
// for groups, a row per member once the matcher is done.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Cli.h"
#include "Commands.h"
#include "NameOptions.h"
#include "PairFormat.h"
#include "ProgressBar.h"
#include "RecordFile.h"
#include "vantel/CompareUS.h"
#include "vantel/Errors.h"
#include "vantel/Groups.h"
#include "vantel/Index.h"
#include "vantel/Match.h"
#include "vantel/MatchRequest.h"
#include "vantel/Records.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

constexpr std::string_view kMatchHelp =
    "Usage: vantel match [OPTIONS] QUERIES [CANDIDATES]\n"
    "\n"
    "Compares every string of QUERIES with every string of CANDIDATES (files of\n"
    "one string a line, or CSV or TSV files of records; - for standard input)\n"
    "and writes each pair whose answer reaches the threshold: the query's line\n"
    "number (or id), the candidate's, the query, the candidate and the answer,\n"
    "tab-separated. Without CANDIDATES the list is matched against itself to\n"
    "find duplicates: each pair once, the earlier first. Every answer is that of\n"
    "'vantel compare'.\n"
    "\n"
    "  --method N      3 sound alone, 99 spelling alone, 1 the smaller of the two,\n"
    "                  2 their mean, 0 or any other number the larger (default 0)\n"
    "  --threshold T   keep answers of T or more, T from 0 to 100 (default 80)\n"
    "  --top K         keep only the K best answers of each query; of equal\n"
    "                  answers, the earlier candidate's\n"
    "  --threads N     score pairs on N threads (default, and 0: one per processor)\n"
    "  --format F      tsv (default; a tab, CR or backslash in a string is written\n"
    "                  \\t, \\r, \\\\), csv (RFC 4180) or json (one object a line)\n"
    "  --index F       take the candidates from the index F that 'vantel index'\n"
    "                  wrote: the pairs are those of its file as CANDIDATES\n"
    "  --quiet         no progress bar (one is drawn on standard error only when\n"
    "                  that is a terminal)\n"
    "\n"
    "Records:\n"
    "  --input F       lines (one string a line), csv or tsv; by default csv for a\n"
    "                  file named *.csv, tsv for *.tsv, lines otherwise\n"
    "  --no-header     the CSV or TSV file has no header row\n"
    "  --column C      the field to match: a name of the header row, or a number\n"
    "                  from 1 (default 1)\n"
    "  --id C          the field that identifies a row (default: its number)\n"
    "  --keep C,...    further fields to carry into the output (may be given\n"
    "                  more than once)\n"
    "  --delimiter X   the character between CSV fields (default ,)\n"
    "  --groups        write the duplicate groups of QUERIES instead of pairs: a\n"
    "                  row per string that has a duplicate, with its group, and\n"
    "                  the best answer that ties it to another member\n"
    "  --all           with --groups, also every string without duplicates, each\n"
    "                  in a group of its own\n"
    "  --unmatched     with CANDIDATES, also a row for each query without a pair\n"
    "  --explain       add the sound and the spelling measure and both phonetic\n"
    "                  forms to every row (with the options of names, those of the\n"
    "                  two forms compared, which come first)\n"
    "\n"
    "Pairs come out by query, then best answer first, then by candidate. Groups\n"
    "are numbered by their first rows. A row that is empty, longer than 70\n"
    "UTF-16 code units, not valid UTF-8 or short of fields, whose --id or --keep\n"
    "field is not valid UTF-8, or whose string cannot be transcribed, is\n"
    "reported on standard error with its line number and takes part in no pair;\n"
    "the exit status is then 1.\n";

struct MatchSettings {
  MatchOptions options;
  PairFormat format = PairFormat::Tsv;
  bool quiet = false;
  RecordSelection records;
  bool groups = false, all = false, unmatched = false, explain = false;
  std::optional<std::string> index;
  NameSettings nameSettings;
  NameOptions names;  // resolved from nameSettings once the command line is read
};

MatchSettings ParseMatchOptions(ArgumentCursor& args, std::vector<std::string_view>& files, bool& helpAsked) {
  MatchSettings settings;
  settings.options.threads = CheckedThreads(0);
  while (!args.AtEnd()) {
    const auto option = args.PeekOption();
    if (!option) {
      if (!args.AtEnd()) files.push_back(args.TakeOperand());
      continue;
    }
    const auto flag = [&](bool& value) {
      args.TakeFlag(*option);
      value = true;
    };
    if (TakeNameOption(args, *option, settings.nameSettings) || TakeRecordOption(args, *option, settings.records)) {
      continue;
    } else if (*option == "--method") {
      settings.options.method = ParseMethod(args.TakeValue(*option));
    } else if (*option == "--threshold") {
      settings.options.threshold = ParseThreshold(args.TakeValue(*option));
    } else if (*option == "--top") {
      settings.options.top = ParseCount(args.TakeValue(*option), *option, SIZE_MAX);
    } else if (*option == "--threads") {
      settings.options.threads = ParseThreads(args.TakeValue(*option));
    } else if (*option == "--format") {
      settings.format = ParsePairFormat(args.TakeValue(*option));
    } else if (*option == "--index") {
      settings.index = std::string(args.TakeValue(*option));
    } else if (*option == "--groups") {
      flag(settings.groups);
    } else if (*option == "--all") {
      flag(settings.all);
    } else if (*option == "--unmatched") {
      flag(settings.unmatched);
    } else if (*option == "--explain") {
      flag(settings.explain);
    } else if (*option == "--quiet" || *option == "-q") {
      flag(settings.quiet);
    } else if (*option == "--help" || *option == "-h") {
      flag(helpAsked);
    } else {
      throw UsageError("unknown option '" + std::string(*option) + "'");
    }
  }
  if (!helpAsked) settings.names = ResolveNameOptions(settings.nameSettings);
  return settings;
}

// The text of a row's id: its field, or its number written into `buffer`.
OutputField IdField(const RecordFile& file, std::size_t row, std::array<char, 24>& buffer) {
  if (file.id) return {file.table.field(row, *file.id), false};
  const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), row + 1);
  return {std::string_view(buffer.data(), static_cast<std::size_t>(written.ptr - buffer.data())), true};
}

// The measures behind an answer, for --explain.
struct Explanation {
  std::string sound, spelling, firstForm, secondForm;
  std::string firstCompared, secondCompared;  // with the options of names
};

Explanation Explain(CompareUS& comparer, std::u16string_view first, std::u16string_view second,
                    const MatchSettings& settings) {
  if (settings.names.any()) {
    const NamesAnswer best = CompareNames(comparer, first, second, settings.options.method, settings.names);
    Explanation explanation = Explain(comparer, best.first, best.second, MatchSettings{});
    explanation.firstCompared = Utf16ToUtf8(best.first);
    explanation.secondCompared = Utf16ToUtf8(best.second);
    return explanation;
  }
  return {FormatAnswer(comparer.Compare(first, second, 3)),
          FormatAnswer(comparer.Compare(first, second, 99)),
          Utf16ToUtf8(comparer.PhoneticForm(first)),
          Utf16ToUtf8(comparer.PhoneticForm(second)),
          {},
          {}};
}

void AddExplanation(std::vector<OutputField>& fields, const Explanation& explanation, const MatchSettings& settings) {
  fields.push_back({explanation.sound, true});
  fields.push_back({explanation.spelling, true});
  fields.push_back({explanation.firstForm, false});
  fields.push_back({explanation.secondForm, false});
  if (settings.names.any()) {
    fields.push_back({explanation.firstCompared, false});
    fields.push_back({explanation.secondCompared, false});
  }
}

// The candidates' side of the output: the rows of a record file, or of an index.
class CandidateRows {
 public:
  virtual ~CandidateRows() = default;
  virtual OutputField Id(std::size_t candidate, std::array<char, 24>& buffer) const = 0;
  virtual std::string_view Text(std::size_t candidate) const = 0;
  virtual std::string_view Keep(std::size_t candidate, std::size_t keep) const = 0;
  virtual std::u16string String(std::size_t candidate) const = 0;
  virtual std::size_t keepCount() const = 0;
  virtual bool numberedIds() const = 0;
  virtual std::string idName() const = 0;
  virtual std::string stringName() const = 0;
  virtual std::vector<std::string> keepNames() const = 0;
};

class FileRows final : public CandidateRows {
 public:
  explicit FileRows(const RecordFile& file) : file_(file) {}
  OutputField Id(std::size_t candidate, std::array<char, 24>& buffer) const override {
    return IdField(file_, file_.rows[candidate], buffer);
  }
  std::string_view Text(std::size_t candidate) const override {
    return file_.table.field(file_.rows[candidate], file_.column);
  }
  std::string_view Keep(std::size_t candidate, std::size_t keep) const override {
    return file_.table.field(file_.rows[candidate], file_.keeps[keep]);
  }
  std::u16string String(std::size_t candidate) const override { return file_.strings[candidate]; }
  std::size_t keepCount() const override { return file_.keeps.size(); }
  bool numberedIds() const override { return !file_.id; }
  std::string idName() const override { return file_.idName; }
  std::string stringName() const override { return file_.stringName; }
  std::vector<std::string> keepNames() const override { return file_.keepNames; }

 private:
  const RecordFile& file_;
};

class IndexRows final : public CandidateRows {
 public:
  explicit IndexRows(const Index& index) : index_(index) {}
  OutputField Id(std::size_t candidate, std::array<char, 24>&) const override {
    return {index_.id(candidate), index_.numberedIds()};
  }
  std::string_view Text(std::size_t candidate) const override { return index_.text(candidate); }
  std::string_view Keep(std::size_t candidate, std::size_t keep) const override { return index_.keep(candidate, keep); }
  // The file's text was valid UTF-8, and the string was made from it.
  std::u16string String(std::size_t candidate) const override { return Utf8ToUtf16(index_.text(candidate)); }
  std::size_t keepCount() const override { return index_.keepNames().size(); }
  bool numberedIds() const override { return index_.numberedIds(); }
  std::string idName() const override { return std::string(index_.idName()); }
  std::string stringName() const override { return std::string(index_.stringName()); }
  std::vector<std::string> keepNames() const override { return {index_.keepNames().begin(), index_.keepNames().end()}; }

 private:
  const Index& index_;
};

// Writes the pairs as the matcher finds them, with the unmatched queries
// among them when asked.
class PairWriter {
 public:
  PairWriter(Output& out, const MatchSettings& settings, const RecordFile& queries, const CandidateRows& candidates,
             const std::vector<Rejection>& rejections)
      : out_(out), settings_(settings), queries_(queries), candidates_(candidates) {
    const auto prefixed = [](std::string_view prefix, const std::string& name) {
      return name.empty() ? std::string(prefix) : std::string(prefix) + "_" + name;
    };
    names_ = {prefixed("query", queries.idName), prefixed("candidate", candidates.idName()),
              prefixed("query", queries.stringName), prefixed("candidate", candidates.stringName())};
    for (const std::string& name : queries.keepNames) names_.push_back(prefixed("query", name));
    for (const std::string& name : candidates.keepNames()) names_.push_back(prefixed("candidate", name));
    names_.emplace_back("answer");
    if (settings.explain) names_.insert(names_.end(), {"sound", "spelling", "query_phonetic", "candidate_phonetic"});
    if (settings.explain && settings.names.any()) names_.insert(names_.end(), {"query_form", "candidate_form"});
    rejected_.assign(queries.strings.size(), 0);
    for (const Rejection& rejection : rejections) {
      if (rejection.list == ListRole::Queries) rejected_[rejection.index] = 1;
    }
    if (!queries.table.header().empty()) WriteHeader(out, settings.format, names_);
  }

  void Write(const ScoredPair& pair) {
    WriteUnmatchedBefore(pair.query);
    nextQuery_ = pair.query + 1;
    fields_.clear();
    const std::size_t queryRow = queries_.rows[pair.query];
    fields_.push_back(IdField(queries_, queryRow, queryId_));
    fields_.push_back(candidates_.Id(pair.candidate, candidateId_));
    fields_.push_back({queries_.table.field(queryRow, queries_.column), false});
    fields_.push_back({candidates_.Text(pair.candidate), false});
    for (const std::size_t keep : queries_.keeps) fields_.push_back({queries_.table.field(queryRow, keep), false});
    for (std::size_t keep = 0; keep < candidates_.keepCount(); ++keep) {
      fields_.push_back({candidates_.Keep(pair.candidate, keep), false});
    }
    fields_.push_back({FormatAnswer(pair.answer, answer_), true});
    Explanation explanation;
    if (settings_.explain) {
      explanation = Explain(explainer_, queries_.strings[pair.query], candidates_.String(pair.candidate), settings_);
      AddExplanation(fields_, explanation, settings_);
    }
    WriteRow(out_, settings_.format, names_, fields_);
  }

  void Finish() { WriteUnmatchedBefore(queries_.strings.size()); }

 private:
  void WriteUnmatchedBefore(std::size_t query) {
    if (!settings_.unmatched) return;
    for (; nextQuery_ < query; ++nextQuery_) {
      if (rejected_[nextQuery_]) continue;  // reported, and in no pair
      const std::size_t row = queries_.rows[nextQuery_];
      fields_.clear();
      fields_.push_back(IdField(queries_, row, queryId_));
      fields_.push_back({{}, candidates_.numberedIds()});
      fields_.push_back({queries_.table.field(row, queries_.column), false});
      fields_.push_back({});
      for (const std::size_t keep : queries_.keeps) fields_.push_back({queries_.table.field(row, keep), false});
      for (std::size_t keep = 0; keep < candidates_.keepCount(); ++keep) fields_.push_back({});
      fields_.push_back({{}, true});
      if (settings_.explain) fields_.insert(fields_.end(), {{{}, true}, {{}, true}, {}, {}});
      if (settings_.explain && settings_.names.any()) fields_.insert(fields_.end(), {{}, {}});
      WriteRow(out_, settings_.format, names_, fields_);
    }
  }

  Output& out_;
  const MatchSettings& settings_;
  const RecordFile& queries_;
  const CandidateRows& candidates_;
  std::vector<std::string> names_;
  std::vector<OutputField> fields_;  // reused: no allocation per pair
  std::vector<char> rejected_;
  std::size_t nextQuery_ = 0;
  std::array<char, 24> queryId_{}, candidateId_{};
  AnswerText answer_{};
  CompareUS explainer_;
};

void WriteGroups(Output& out, const MatchSettings& settings, const RecordFile& file,
                 const std::vector<GroupMember>& members) {
  std::vector<std::string> names = {"group", file.idName, file.stringName.empty() ? "string" : file.stringName};
  names.insert(names.end(), file.keepNames.begin(), file.keepNames.end());
  names.insert(names.end(), {"partner_" + file.idName, "answer"});
  if (settings.explain) names.insert(names.end(), {"sound", "spelling", "phonetic", "partner_phonetic"});
  if (settings.explain && settings.names.any()) names.insert(names.end(), {"form", "partner_form"});
  if (!file.table.header().empty()) WriteHeader(out, settings.format, names);
  std::vector<OutputField> fields;
  std::array<char, 24> group{}, id{}, partnerId{};
  AnswerText answer{};
  CompareUS explainer;
  for (const GroupMember& member : members) {
    const std::size_t row = file.rows[member.index];
    const bool alone = member.partner == GroupMember::kNoPartner;
    fields.clear();
    const auto written = std::to_chars(group.data(), group.data() + group.size(), member.group);
    fields.push_back({std::string_view(group.data(), static_cast<std::size_t>(written.ptr - group.data())), true});
    fields.push_back(IdField(file, row, id));
    fields.push_back({file.table.field(row, file.column), false});
    for (const std::size_t keep : file.keeps) fields.push_back({file.table.field(row, keep), false});
    if (alone) {
      fields.push_back({{}, !file.id});
      fields.push_back({{}, true});
    } else {
      fields.push_back(IdField(file, file.rows[member.partner], partnerId));
      fields.push_back({FormatAnswer(member.answer, answer), true});
    }
    Explanation explanation;
    if (settings.explain && !alone) {
      explanation = Explain(explainer, file.strings[member.index], file.strings[member.partner], settings);
      AddExplanation(fields, explanation, settings);
    } else if (settings.explain) {
      explanation.firstForm = Utf16ToUtf8(explainer.PhoneticForm(std::u16string_view(file.strings[member.index])));
      fields.insert(fields.end(), {{{}, true}, {{}, true}, {explanation.firstForm, false}, {}});
      if (settings.names.any()) fields.insert(fields.end(), {{}, {}});
    }
    WriteRow(out, settings.format, names, fields);
  }
}

// vantel match --index: the candidates, their rows set aside and their
// fields come from the index; what comes out is what the file it was made
// from would have given as CANDIDATES.
// Reports the rows set aside, by file (queries first) and line; `names`
// holds the queries' file name and the candidates'.
void ReportProblems(std::vector<Problem>& problems, const std::array<std::string_view, 2>& names, std::ostream& err) {
  std::stable_sort(problems.begin(), problems.end(), [](const Problem& a, const Problem& b) {
    return std::pair(a.file, a.line) < std::pair(b.file, b.line);
  });
  for (const Problem& problem : problems) {
    err << "vantel match: " << names[problem.file] << " line " << problem.line << ": " << problem.reason << '\n';
  }
}

// Runs a matcher with each pair handed to `emit`. About ten times a second
// the rows found so far are written out, so that an output that fails is
// found out within that time, however few pairs there are (and the rows go
// above the bar, not into it); a failed write throws from a sink, which stops
// the matcher's workers. False, with the message written, when a comparison
// failed outright and the run could not go on.
template <typename AnyMatcher, typename Emit>
bool RunShowingProgress(const AnyMatcher& matcher, const Emit& emit, Output& out, std::ostream& err,
                        std::optional<ProgressBar>& bar) {
  const auto progress = [&](std::uint64_t done) {
    out.Flush();
    if (bar) bar->Update(done);
  };
  try {
    matcher.Run(emit, progress);
  } catch (const RuntimeError& failure) {
    if (bar) bar->Clear();
    err << "vantel match: " << failure.what() << '\n';
    return false;
  } catch (const OutputError&) {
    if (bar) bar->Clear();
    throw;
  }
  if (bar) bar->Clear();
  return true;
}

int RunMatchIndex(const MatchSettings& settings, std::string_view queryFile, Streams& streams) {
  Output& out = streams.out;
  std::ostream& err = streams.err;
  std::shared_ptr<const Index> index;
  try {
    index = Index::Open(*settings.index);
  } catch (const IndexError& refused) {
    throw InputError(refused.what());
  }
  Input queryInput = OpenInput(queryFile, streams, "QUERIES");
  std::vector<Problem> problems;
  const RecordFile queries = ReadRecordFile(queryInput, 0, settings.records, problems);
  for (const auto& [line, reason] : index->problems())
    problems.push_back({1, static_cast<std::size_t>(line), std::string(reason)});

  const Matcher matcher(queries.strings, index->candidates(), settings.options);
  for (const Rejection& rejection : matcher.rejections()) {
    const bool isQuery = rejection.list == ListRole::Queries;
    problems.push_back({isQuery ? 0u : 1u,
                        isQuery ? queries.table.line(queries.rows[rejection.index])
                                : static_cast<std::size_t>(index->line(rejection.index)),
                        rejection.reason});
  }
  ReportProblems(problems, {queries.name, index->sourceName()}, err);

  std::optional<ProgressBar> bar;
  if (!settings.quiet && streams.errIsTerminal) bar.emplace(err, matcher.pairCount());
  const IndexRows candidateRows(*index);
  PairWriter writer(out, settings, queries, candidateRows, matcher.rejections());
  const auto emit = [&](const ScoredPair& pair) {
    if (bar) bar->Clear();
    writer.Write(pair);
  };
  if (!RunShowingProgress(matcher, emit, out, err, bar)) return kExitFailure;
  writer.Finish();
  return problems.empty() ? kExitOk : kExitFailure;
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
    out.Put("\n");
    out.Put(kNameOptionsHelp);
    return kExitOk;
  }
  if (settings.index) {
    if (files.size() != 1) {
      throw UsageError("with --index, expected QUERIES alone, got " + std::to_string(files.size()) + " file argument" +
                       (files.size() == 1 ? "" : "s"));
    }
    if (settings.groups) throw UsageError("--groups finds the duplicates within one file: not with --index");
    if (settings.all) throw UsageError("--all goes with --groups");
    if (settings.names.any()) throw UsageError("the options of names do not go with --index");
    return RunMatchIndex(settings, files[0], streams);
  }
  if (files.empty() || files.size() > 2) {
    throw UsageError("expected QUERIES and at most one CANDIDATES file, got " + std::to_string(files.size()) +
                     " file argument" + (files.size() == 1 ? "" : "s"));
  }
  if (files.size() == 2 && files[0] == "-" && files[1] == "-") {
    throw UsageError("standard input (-) can be read for QUERIES or for CANDIDATES, not both");
  }
  if (settings.groups && files.size() == 2) {
    throw UsageError("--groups finds the duplicates within one file: give QUERIES alone");
  }
  if (settings.all && !settings.groups) throw UsageError("--all goes with --groups");
  if (settings.unmatched && files.size() != 2) throw UsageError("--unmatched goes with a CANDIDATES file");
  if (settings.groups && settings.options.top != 0) throw UsageError("--top does not go with --groups");

  Input queryInput = OpenInput(files[0], streams, "QUERIES");
  std::optional<Input> candidateInput;
  if (files.size() == 2) candidateInput.emplace(OpenInput(files[1], streams, "CANDIDATES"));

  std::vector<Problem> problems;
  const RecordFile queries = ReadRecordFile(queryInput, 0, settings.records, problems);
  const RecordFile candidates =
      candidateInput ? ReadRecordFile(*candidateInput, 1, settings.records, problems) : RecordFile{};
  const FileRows candidateRows(candidateInput ? candidates : queries);

  // A string whose transcription fails is set aside here, not thrown.
  std::optional<FormMatcher> matcher;
  if (candidateInput) {
    matcher.emplace(queries.strings, candidates.strings, settings.options, settings.names);
  } else {
    matcher.emplace(queries.strings, settings.options, settings.names);
  }
  for (const Rejection& rejection : matcher->rejections()) {
    const bool isQuery = rejection.list == ListRole::Queries;
    const RecordFile& file = isQuery ? queries : candidates;
    problems.push_back({isQuery ? 0u : 1u, file.table.line(file.rows[rejection.index]), rejection.reason});
  }
  ReportProblems(problems, {queries.name, candidates.name}, err);

  std::optional<ProgressBar> bar;
  if (!settings.quiet && streams.errIsTerminal) bar.emplace(err, matcher->pairCount());
  std::optional<PairWriter> writer;
  std::optional<DuplicateGroups> groups;
  if (settings.groups) {
    groups.emplace(queries.strings.size());
  } else {
    writer.emplace(out, settings, queries, candidateRows, matcher->rejections());
  }
  const auto emit = [&](const ScoredPair& pair) {
    if (groups) {
      groups->Add(pair);
      return;
    }
    if (bar) bar->Clear();
    writer->Write(pair);
  };
  if (!RunShowingProgress(*matcher, emit, out, err, bar)) return kExitFailure;
  if (writer) writer->Finish();
  if (groups) WriteGroups(out, settings, queries, groups->Members(settings.all, matcher->rejections()));
  return problems.empty() ? kExitOk : kExitFailure;
}

}  // namespace vantel::cli
