// vantel link: reads one file (to de-duplicate) or two (to link), makes the
// candidate pairs of the rules, trains the model on them (or applies a saved
// one), and writes the pairs that reach the probability asked for, or their
// groups. The records of the second file follow those of the first in one
// index space, which is how the linkage library takes them.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "Cli.h"
#include "Commands.h"
#include "PairFormat.h"
#include "ProgressBar.h"
#include "RecordFile.h"
#include "vantel/Candidates.h"
#include "vantel/Comparisons.h"
#include "vantel/Errors.h"
#include "vantel/Link.h"
#include "vantel/LinkModel.h"
#include "vantel/LinkPipeline.h"
#include "vantel/MatchRequest.h"
#include "vantel/Records.h"

namespace vantel::cli {
namespace {

constexpr std::string_view kLinkHelp =
    "Usage: vantel link [OPTIONS] FILE [OTHER]\n"
    "\n"
    "Finds the records of FILE (CSV or TSV) that are one person, or links each\n"
    "record of FILE to those of OTHER, by a Fellegi-Sunter model over several\n"
    "fields that is trained on the files themselves, without labels. Writes a\n"
    "row per pair whose match probability reaches the threshold: query_id,\n"
    "candidate_id, probability, weight.\n"
    "\n"
    "  --field C:KIND[:KEY=VALUE...]  a field to compare (repeatable; at least\n"
    "                  one). KIND: name (Compare's answer: equal ignoring case,\n"
    "                  >= 95, >= 88, >= 80, other; method=2, levels=95,88,80,\n"
    "                  tf=on), text (method=99, levels=90,75), exact (tf=on),\n"
    "                  date (equal, day and month swapped, one digit, same year\n"
    "                  and month, other; format=YYYY-MM-DD or YYYYMMDD by\n"
    "                  default, e.g. format=DD/MM/YYYY), code (letters and\n"
    "                  digits: equal, one edit, other; tail=N compares the\n"
    "                  last N only, e.g. phones), email (equal, same address\n"
    "                  before the @, other; edits=on adds one-edit: one edit\n"
    "                  apart before the @). Names also take order=any (also\n"
    "                  the words sorted), nicknames=on (the built-in name\n"
    "                  groups) and aliases=FILE (a table of them), each with\n"
    "                  the level alias after equal, initials=on (the level\n"
    "                  initials after the first threshold) and swap=C (the\n"
    "                  level swapped after the first threshold: this field\n"
    "                  and name field C agree crosswise); names and text\n"
    "                  transliterate=on, and edits=on (the level one-edit\n"
    "                  before other: one letter added, dropped, changed or\n"
    "                  swapped with its neighbour)\n"
    "  --scan C:T      candidates: every pair whose answer on C reaches T, by\n"
    "                  the exhaustive scan of 'vantel match' (repeatable)\n"
    "  --block K[+K..] candidates: pairs equal on the key; K is a column,\n"
    "                  phonetic(C), first(C,N), last(C,N) (the last N\n"
    "                  letters and digits) or year(C) (repeatable)\n"
    "                  Without rules: a block on each date, code and email\n"
    "                  field (a code with tail=N on last(C,N)), and one on\n"
    "                  the phonetic forms of the first two name fields\n"
    "                  together.\n"
    "  --plan          write how many pairs each rule yields, and stop\n"
    "  --threshold P   keep pairs of match probability P or more, 0 to 1\n"
    "                  (default 0.9)\n"
    "  --top K         linking: keep the K best pairs of each query\n"
    "  --groups        write the groups (connected components of the kept\n"
    "                  pairs): group, id, size, density (the share of the\n"
    "                  group's member pairs that are kept); linking, a group\n"
    "                  holds records of both files, a column file (1 or 2)\n"
    "                  after group says whose, and its member pairs are those\n"
    "                  of one record of each file\n"
    "  --all           with --groups, also every record in no pair\n"
    "  --unmatched     linking: also a row for each query without a pair\n"
    "  --id C          the field that identifies a row (default: its number)\n"
    "  --keep C,...    further fields to carry into the output\n"
    "  --explain       add, per field, both values, the level and its weight\n"
    "  --model FILE    apply a saved model instead of training\n"
    "  --save-model FILE  write the trained model as JSON\n"
    "  --sample N      random pairs that estimate u (default 1000000)\n"
    "  --truth C       rows with the same C are one entity: report precision,\n"
    "                  recall and F1 of the pairs and groups at several\n"
    "                  thresholds, and the recall of the candidates, on\n"
    "                  standard error (or --evaluate FILE)\n"
    "  --evaluate FILE write that report to FILE\n"
    "  --train-on-truth  with --truth: train m from the candidate pairs that\n"
    "                  the truth makes one entity instead of without labels\n"
    "  --format F      tsv (default), csv or json\n"
    "  --threads N     work on N threads (default, and 0: one per processor)\n"
    "  --quiet         no summary of the training on standard error, and no\n"
    "                  progress bar (drawn on a terminal while the pairs are\n"
    "                  compared for training and scored)\n"
    "\n"
    "A value that a field cannot read (a date that is not a date) counts as\n"
    "missing; the summary on standard error says how many. A row short of\n"
    "fields or not valid UTF-8 is reported with its line and takes part in no\n"
    "pair; the exit status is then 1.\n";

struct LinkSettings {
  std::vector<FieldComparison> fields;
  std::vector<std::string> scans, blocks;
  double threshold = 0.9;
  std::size_t top = 0;
  bool groups = false, all = false, unmatched = false, explain = false, plan = false, quiet = false,
       trainOnTruth = false;
  std::optional<std::string> id, modelFile, saveModel, truth, evaluate;
  std::vector<std::string> keep;
  PairFormat format = PairFormat::Tsv;
  unsigned threads = CheckedThreads(0);
  std::uint64_t sample = 1000000;
};

std::uint64_t ParseWhole(std::string_view text, std::string_view option, std::uint64_t least, std::uint64_t most) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < least || value > most)
    throw UsageError(std::string(option) + ": '" + std::string(text) + "' is not a whole number from " +
                     std::to_string(least) + " to " + std::to_string(most));
  return value;
}

std::vector<std::string> ParseNames(std::string_view text, std::string_view option) {
  std::vector<std::string> names;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    names.emplace_back(text.substr(start, comma - start));
    if (names.back().empty()) throw UsageError(std::string(option) + ": '" + std::string(text) + "' has an empty name");
    if (comma == std::string_view::npos) return names;
    start = comma + 1;
  }
}

LinkSettings ParseOptions(ArgumentCursor& args, std::vector<std::string_view>& files, bool& helpAsked) {
  LinkSettings settings;
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
    const auto text = [&]() { return std::string(args.TakeValue(*option)); };
    if (*option == "--field") {
      const std::string given = text();
      try {
        settings.fields.push_back(ParseLinkField(given));
      } catch (const RuleTextError& bad) {
        throw UsageError(std::string("--field ") + bad.what());
      }
      // An aliases file that cannot be used is refused before any work.
      try {
        static_cast<void>(NameOptionsOf(settings.fields.back()));
      } catch (const RuntimeError& refused) {
        throw InputError("--field " + given + ": " + refused.description());
      }
    } else if (*option == "--scan") {
      settings.scans.push_back(text());
    } else if (*option == "--block") {
      settings.blocks.push_back(text());
    } else if (*option == "--threshold") {
      const std::string value = text();
      double number = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
      if (value.empty() || error != std::errc() || end != value.data() + value.size() || !(number >= 0 && number <= 1))
        throw UsageError("--threshold: '" + value + "' is not a probability from 0 to 1");
      settings.threshold = number;
    } else if (*option == "--top") {
      settings.top = static_cast<std::size_t>(ParseWhole(args.TakeValue(*option), *option, 1, SIZE_MAX));
    } else if (*option == "--threads") {
      settings.threads = ParseThreads(args.TakeValue(*option));
    } else if (*option == "--sample") {
      settings.sample = ParseWhole(args.TakeValue(*option), *option, 1, std::uint64_t{1} << 32);
    } else if (*option == "--format") {
      settings.format = ParsePairFormat(args.TakeValue(*option));
    } else if (*option == "--id") {
      settings.id = text();
    } else if (*option == "--keep") {
      settings.keep = ParseNames(args.TakeValue(*option), *option);
    } else if (*option == "--model") {
      settings.modelFile = text();
    } else if (*option == "--save-model") {
      settings.saveModel = text();
    } else if (*option == "--truth") {
      settings.truth = text();
    } else if (*option == "--train-on-truth") {
      flag(settings.trainOnTruth);
    } else if (*option == "--evaluate") {
      settings.evaluate = text();
    } else if (*option == "--groups") {
      flag(settings.groups);
    } else if (*option == "--all") {
      flag(settings.all);
    } else if (*option == "--unmatched") {
      flag(settings.unmatched);
    } else if (*option == "--explain") {
      flag(settings.explain);
    } else if (*option == "--plan") {
      flag(settings.plan);
    } else if (*option == "--quiet" || *option == "-q") {
      flag(settings.quiet);
    } else if (*option == "--help" || *option == "-h") {
      flag(helpAsked);
    } else {
      throw UsageError("unknown option '" + std::string(*option) + "'");
    }
  }
  return settings;
}

// One file of records and the rows of it that take part.
struct LinkFile {
  std::string name;
  RecordTable table;
  std::vector<std::size_t> rows;  // rows with every field needed, in file order
  std::optional<std::size_t> id;
  std::vector<std::size_t> keeps;
  std::map<std::string, std::size_t, std::less<>> columns;  // every column named by an option
};

std::size_t Resolve(LinkFile& file, std::string_view option, const std::string& name) {
  if (const auto found = file.columns.find(name); found != file.columns.end()) return found->second;
  try {
    const std::size_t column = file.table.ColumnIndex(name);
    file.columns.emplace(name, column);
    return column;
  } catch (const std::invalid_argument& bad) {
    throw UsageError(std::string(option) + ": " + file.name + ": " + bad.what());
  }
}

LinkFile ReadLinkFile(Input& input, std::size_t index, std::vector<Problem>& problems) {
  LinkFile file;
  file.name = input.name();
  // A link file is CSV unless its name says TSV.
  RecordReader reader({FormatOfName(file.name, RecordFormat::Csv), 0, true});
  file.table = ReadTable(input, reader);
  for (const RecordProblem& problem : reader.problems()) problems.push_back({index, problem.line, problem.reason});
  return file;
}

void SelectRows(LinkFile& file, std::size_t index, std::vector<Problem>& problems) {
  std::size_t needed = 0;
  for (const auto& [name, column] : file.columns) needed = std::max(needed, column + 1);
  for (std::size_t row = 0; row < file.table.rowCount(); ++row) {
    if (const std::size_t fields = file.table.fieldCount(row); fields < needed) {
      problems.push_back(
          {index, file.table.line(row), "too few fields: " + std::to_string(fields) + " of " + std::to_string(needed)});
      continue;
    }
    file.rows.push_back(row);
  }
}

std::string FormatNumber(double value) {
  std::array<char, 32> buffer{};
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return error == std::errc() ? std::string(buffer.data(), end) : std::string("?");
}

std::string Fixed(double value, int digits) {
  std::ostringstream text;
  text.setf(std::ios::fixed);
  text.precision(digits);
  text << value;
  return text.str();
}

void WriteTextFile(const std::string& path, const std::string& text, std::string_view option) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw OutputError(std::string(option) + ": cannot write to " + path);
  file << text;
  file.flush();
  if (!file) throw OutputError(std::string(option) + ": cannot write to " + path);
  file.close();
  if (file.fail()) throw OutputError(std::string(option) + ": cannot write to " + path);
}

std::string ReadTextFile(const std::string& path, std::string_view option) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw UsageError(std::string(option) + ": cannot open " + path);
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw InputError(std::string(option) + ": read error in " + path);
  return text.str();
}

// The bar of one long step (training, scoring) on a terminal, taken off its
// line when the step is over.
class StepBar {
 public:
  StepBar(bool shown, std::ostream& terminal, std::uint64_t total) {
    if (shown) bar_.emplace(terminal, total);
  }
  ~StepBar() {
    if (bar_) bar_->Clear();
  }
  StepBar(const StepBar&) = delete;
  StepBar& operator=(const StepBar&) = delete;

  PairProgress Sink() {
    if (!bar_) return {};
    return [this](std::uint64_t done, std::uint64_t) { bar_->Update(done); };
  }

 private:
  std::optional<ProgressBar> bar_;
};

}  // namespace

int RunLink(ArgumentCursor& args, Streams& streams) {
  Output& out = streams.out;
  std::ostream& err = streams.err;
  std::vector<std::string_view> fileNames;
  bool helpAsked = false;
  const LinkSettings settings = ParseOptions(args, fileNames, helpAsked);
  if (helpAsked) {
    out.Put(kLinkHelp);
    return kExitOk;
  }
  if (fileNames.empty() || fileNames.size() > 2)
    throw UsageError("expected FILE and at most one OTHER file, got " + std::to_string(fileNames.size()) +
                     " file arguments");
  if (fileNames.size() == 2 && fileNames[0] == "-" && fileNames[1] == "-")
    throw UsageError("standard input (-) can be read for FILE or for OTHER, not both");
  if (settings.fields.empty()) throw UsageError("give at least one --field C:KIND");
  const bool linking = fileNames.size() == 2;
  if (settings.all && !settings.groups) throw UsageError("--all goes with --groups");
  if (settings.unmatched && !linking) throw UsageError("--unmatched goes with an OTHER file");
  if (settings.unmatched && settings.groups)
    throw UsageError("--unmatched adds pair rows; with --groups, --all writes every record");
  if (settings.explain && settings.groups) throw UsageError("--explain explains pairs: not with --groups");
  if (settings.top && !linking) throw UsageError("--top goes with an OTHER file");
  if (settings.evaluate && !settings.truth) throw UsageError("--evaluate goes with --truth");
  if (settings.trainOnTruth && !settings.truth) throw UsageError("--train-on-truth goes with --truth");
  if (settings.trainOnTruth && settings.modelFile) throw UsageError("--train-on-truth and --model exclude each other");
  if (settings.modelFile && settings.saveModel)
    throw UsageError("--save-model writes a trained model: not with --model");

  LinkRules linkRules;
  try {
    linkRules = LinkRules::Of(settings.fields, settings.scans, settings.blocks);
  } catch (const RuleTextError& bad) {
    const char* option = bad.part() == RuleTextError::Part::Scan    ? "--scan "
                         : bad.part() == RuleTextError::Part::Block ? "--block "
                                                                    : "--field ";
    throw UsageError(option + std::string(bad.what()));
  }
  const std::vector<CandidateRule>& rules = linkRules.rules;
  std::optional<LinkModel> savedModel;
  if (settings.modelFile) {
    try {
      savedModel = ModelFromJson(ReadTextFile(*settings.modelFile, "--model"));
      CheckModelFits(*savedModel, settings.fields);
    } catch (const std::invalid_argument& bad) {
      throw UsageError("--model " + *settings.modelFile + ": " + bad.what());
    }
  }

  Input firstInput = OpenInput(fileNames[0], streams, "FILE");
  std::optional<Input> secondInput;
  if (linking) secondInput.emplace(OpenInput(fileNames[1], streams, "OTHER"));
  std::vector<Problem> problems;
  std::vector<LinkFile> files;
  files.push_back(ReadLinkFile(firstInput, 0, problems));
  if (linking) files.push_back(ReadLinkFile(*secondInput, 1, problems));
  for (LinkFile& file : files) {
    for (const FieldComparison& field : settings.fields) Resolve(file, "--field", field.column);
    for (const CandidateRule& rule : rules)
      for (const std::string& column : rule.columns())
        Resolve(file, rule.kind == CandidateRule::Kind::Scan ? "--scan" : "--block", column);
    if (settings.id) file.id = Resolve(file, "--id", *settings.id);
    for (const std::string& keep : settings.keep) file.keeps.push_back(Resolve(file, "--keep", keep));
    if (settings.truth) Resolve(file, "--truth", *settings.truth);
  }
  for (std::size_t index = 0; index < files.size(); ++index) SelectRows(files[index], index, problems);
  std::stable_sort(problems.begin(), problems.end(), [](const Problem& a, const Problem& b) {
    return std::pair(a.file, a.line) < std::pair(b.file, b.line);
  });
  for (const Problem& problem : problems)
    err << "vantel link: " << files[problem.file].name << " line " << problem.line << ": " << problem.reason << '\n';

  // Linking a file without a row that can take part links nothing, and its
  // partner's records must not be taken for one file to de-duplicate.
  if (linking)
    for (const LinkFile& file : files)
      if (file.rows.empty()) {
        err << "vantel link: " << file.name << ": no rows to link\n";
        return kExitFailure;
      }

  // Records: those of the first file, then those of the second.
  const std::size_t firstCount = files[0].rows.size();
  const auto fileOf = [&](std::size_t record) -> const LinkFile& { return files[record < firstCount ? 0 : 1]; };
  const auto rowOf = [&](std::size_t record) {
    return record < firstCount ? files[0].rows[record] : files[1].rows[record - firstCount];
  };
  const std::size_t recordCount = firstCount + (linking ? files[1].rows.size() : 0);
  const auto columnValues = [&](const std::string& name) {
    std::vector<std::string_view> values(recordCount);
    for (std::size_t record = 0; record < recordCount; ++record) {
      const LinkFile& file = fileOf(record);
      values[record] = file.table.field(rowOf(record), file.columns.at(name));
    }
    return values;
  };
  RuleColumns values;
  for (const std::string& column : linkRules.columns()) values.emplace(column, columnValues(column));
  const LinkPipeline pipeline(linkRules, std::move(values), linking ? firstCount : recordCount);

  if (settings.plan) {
    std::vector<std::string> names = {"rule", "pairs"};
    if (settings.format != PairFormat::Json) WriteHeader(out, settings.format, names);
    const std::vector<std::uint64_t> counts = pipeline.Plan(settings.threads);
    for (std::size_t r = 0; r < rules.size(); ++r) {
      const std::string description = rules[r].Describe(), number = std::to_string(counts[r]);
      WriteRow(out, settings.format, names, {{description, false}, {number, true}});
    }
    return problems.empty() ? kExitOk : kExitFailure;
  }

  const LinkRecords records = pipeline.Prepare();
  for (std::size_t f = 0; f < records.fieldCount(); ++f)
    if (const std::size_t unreadable = records.field(f).unreadableCount(); unreadable > 0)
      err << "vantel link: field " << settings.fields[f].column << " (" << NameOf(settings.fields[f].kind)
          << "): " << unreadable << " value" << (unreadable == 1 ? "" : "s")
          << " could not be read and count as missing\n";

  LinkCandidates found = pipeline.FindCandidates(settings.threads, !savedModel);
  const std::vector<RecordPair>& candidates = found.pairs;
  const std::vector<std::uint64_t>& perRule = found.perRule;
  const bool showBar = !settings.quiet && streams.errIsTerminal;
  LinkModel model;
  if (savedModel) {
    model = *savedModel;
  } else {
    model = [&] {
      StepBar bar(showBar, err, settings.sample + candidates.size());
      TrainingOptions training;
      training.samplePairs = settings.sample;
      training.threads = settings.threads;
      training.progress = bar.Sink();
      return settings.trainOnTruth
                 ? pipeline.TrainFromTruth(records, candidates, EntitiesOf(columnValues(*settings.truth)), training)
                 : pipeline.Train(records, found, training);
    }();
    // Each rule's own pairs served training only.
    std::vector<std::vector<RecordPair>>().swap(found.byRule);
    if (!model.training.converged)
      err << "vantel link: training did not converge within " << model.training.iterations
          << " iterations; the model is that of the last one\n";
  }
  if (!settings.quiet) {
    for (std::size_t r = 0; r < rules.size(); ++r)
      err << "vantel link: " << rules[r].Describe() << ": " << perRule[r] << " pairs\n";
    err << "vantel link: " << candidates.size() << " candidate pairs";
    if (!savedModel)
      err << ", " << model.training.patterns << " patterns, " << model.training.iterations << " EM iterations, prior "
          << FormatNumber(model.prior);
    err << '\n';
  }
  if (settings.saveModel) WriteTextFile(*settings.saveModel, ModelToJson(model), "--save-model");

  const std::vector<LinkedPair> kept = [&] {
    StepBar bar(showBar, err, candidates.size());
    return pipeline.Keep(model, records, candidates, settings.threshold, settings.top, settings.threads, nullptr,
                         bar.Sink());
  }();

  std::vector<std::string> keepNames;
  const auto headerName = [&](const LinkFile& file, std::size_t column) {
    return column < file.table.header().size() ? file.table.header()[column] : "field" + std::to_string(column + 1);
  };
  for (const std::size_t keep : files[0].keeps) keepNames.push_back(headerName(files[0], keep));
  std::vector<std::string> texts;  // the texts of one row, which the fields point into
  std::vector<OutputField> fields;
  const auto idText = [&](std::size_t record) {
    const LinkFile& file = fileOf(record);
    return file.id ? std::string(file.table.field(rowOf(record), *file.id)) : std::to_string(rowOf(record) + 1);
  };

  if (settings.groups) {
    // Linking, a group holds records of both files: `file` says whose (1 for
    // FILE, 2 for OTHER), as ids need not differ between them.
    std::vector<std::string> names = {"group", "id", "size", "density"};
    if (linking) names.insert(names.begin() + 1, "file");
    const std::size_t idColumn = linking ? 2 : 1;
    names.insert(names.end(), keepNames.begin(), keepNames.end());
    WriteHeader(out, settings.format, names);
    // Groups in the order of their first members; with --all, records in no
    // pair in between as groups of one.
    for (const GroupRow& row : pipeline.Groups(kept, settings.all)) {
      texts = {std::to_string(row.group), idText(row.record), std::to_string(row.size), Fixed(row.density, 3)};
      if (linking) texts.insert(texts.begin() + 1, row.record < firstCount ? "1" : "2");
      const LinkFile& file = fileOf(row.record);
      for (const std::size_t keep : file.keeps) texts.emplace_back(file.table.field(rowOf(row.record), keep));
      fields.clear();
      for (std::size_t i = 0; i < texts.size(); ++i) fields.push_back({texts[i], i != idColumn && i <= idColumn + 2});
      WriteRow(out, settings.format, names, fields);
    }
  } else {
    std::vector<std::string> names = {"query_id", "candidate_id", "probability", "weight"};
    for (const std::size_t keep : files[0].keeps) names.push_back("query_" + headerName(files[0], keep));
    const LinkFile& candidateFile = files.back();
    for (const std::size_t keep : candidateFile.keeps) names.push_back("candidate_" + headerName(candidateFile, keep));
    if (settings.explain)
      for (const FieldComparison& field : settings.fields)
        for (const char* part : {"_query", "_candidate", "_level", "_weight"}) names.push_back(field.column + part);
    WriteHeader(out, settings.format, names);
    const std::vector<FieldExplanation> explained =
        settings.explain ? pipeline.Explain(model, records, kept) : std::vector<FieldExplanation>();
    std::size_t nextQuery = 0;
    const auto writeUnmatchedBefore = [&](std::size_t query) {
      if (!settings.unmatched) return;
      for (; nextQuery < query; ++nextQuery) {
        texts.assign(names.size(), std::string());
        texts[0] = idText(nextQuery);
        for (std::size_t k = 0; k < files[0].keeps.size(); ++k)
          texts[4 + k] = files[0].table.field(rowOf(nextQuery), files[0].keeps[k]);
        fields.clear();
        for (std::size_t i = 0; i < texts.size(); ++i) fields.push_back({texts[i], i == 2 || i == 3});
        WriteRow(out, settings.format, names, fields);
      }
    };
    for (std::size_t k = 0; k < kept.size(); ++k) {
      const LinkedPair& linked = kept[k];
      writeUnmatchedBefore(linked.pair.first);
      nextQuery = std::max<std::size_t>(nextQuery, linked.pair.first + 1);
      std::vector<bool> bare = {false, false, true, true};
      texts = {idText(linked.pair.first), idText(linked.pair.second), FormatNumber(linked.probability),
               FormatNumber(linked.weight)};
      for (const std::size_t keep : files[0].keeps) {
        texts.emplace_back(files[0].table.field(rowOf(linked.pair.first), keep));
        bare.push_back(false);
      }
      const LinkFile& other = fileOf(linked.pair.second);
      for (const std::size_t keep : other.keeps) {
        texts.emplace_back(other.table.field(rowOf(linked.pair.second), keep));
        bare.push_back(false);
      }
      if (settings.explain) {
        for (std::size_t f = 0; f < records.fieldCount(); ++f) {
          const FieldExplanation& field = explained[k * records.fieldCount() + f];
          texts.emplace_back(pipeline.values(f)[linked.pair.first]);
          texts.emplace_back(pipeline.values(f)[linked.pair.second]);
          texts.emplace_back(field.level == kMissingLevel ? "missing" : settings.fields[f].levelNames()[field.level]);
          texts.push_back(FormatNumber(field.weight));
          bare.insert(bare.end(), {false, false, false, true});
        }
      }
      fields.clear();
      for (std::size_t i = 0; i < texts.size(); ++i) fields.push_back({texts[i], bare[i]});
      WriteRow(out, settings.format, names, fields);
    }
    if (linking) writeUnmatchedBefore(firstCount);
  }
  out.Flush();

  if (settings.truth) {
    const std::vector<std::uint64_t> entity = EntitiesOf(columnValues(*settings.truth));
    const LinkEvaluation evaluation = [&] {
      StepBar bar(showBar, err, candidates.size());
      return pipeline.Evaluate(model, records, candidates, entity, EvaluationThresholds(), settings.threads,
                               bar.Sink());
    }();
    std::ostringstream report;
    report << "candidates\t" << evaluation.candidatePairs << " pairs\trecall "
           << Fixed(evaluation.candidates.recall(), 4) << "\n";
    report << "threshold\tpairs\tprecision\trecall\tf1\tgroup_precision\tgroup_recall\tgroup_f1\n";
    for (const ThresholdQuality& row : evaluation.thresholds) {
      const Quality& quality = row.pairs;
      report << FormatNumber(row.threshold) << '\t' << quality.foundPairs << '\t' << Fixed(quality.precision(), 4)
             << '\t' << Fixed(quality.recall(), 4) << '\t' << Fixed(quality.f1(), 4) << '\t'
             << Fixed(row.groups.precision(), 4) << '\t' << Fixed(row.groups.recall(), 4) << '\t'
             << Fixed(row.groups.f1(), 4) << '\n';
    }
    if (settings.evaluate) {
      WriteTextFile(*settings.evaluate, report.str(), "--evaluate");
    } else {
      err << report.str();
    }
  }
  return problems.empty() ? kExitOk : kExitFailure;
}

}  // namespace vantel::cli
