// Record linkage on the sample people file (data/people.csv, 5,000 rows):
// the scoring of candidate pairs on six fields, pairs per second on one
// thread, and linking the file with itself (5,000 x 5,000 records) end to
// end: preparing the fields, the candidate rules, training and scoring.
// Run: build/bench/vantel_link_bench (bench/link-scale.sh de-duplicates a
// generated million people with the command).
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vantel/Candidates.h"
#include "vantel/Link.h"
#include "vantel/LinkModel.h"
#include "vantel/Records.h"

namespace vantel::bench {
namespace {

const RecordTable& People() {
  static const RecordTable table = [] {
    std::ifstream file(VANTEL_PEOPLE_FILE, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::vector<RecordProblem> problems;
    return ReadRecords(text.str(), {RecordFormat::Csv, 0, true}, problems);
  }();
  return table;
}

const std::vector<FieldComparison>& Fields() {
  static const std::vector<FieldComparison> fields = {
      ParseFieldComparison("given_name:name"), ParseFieldComparison("surname:name"),
      ParseFieldComparison("birth_date:date"), ParseFieldComparison("postcode:code"),
      ParseFieldComparison("email:email"),     ParseFieldComparison("phone:code")};
  return fields;
}

// The column's values, the file `copies` times over.
std::vector<std::string_view> Column(const std::string& name, std::size_t copies) {
  const RecordTable& table = People();
  const std::size_t column = table.ColumnIndex(name);
  std::vector<std::string_view> values;
  for (std::size_t copy = 0; copy < copies; ++copy)
    for (std::size_t row = 0; row < table.rowCount(); ++row) values.push_back(table.field(row, column));
  return values;
}

std::vector<CandidateRule> Rules() {
  return {ParseBlockRule("birth_date"), ParseBlockRule("postcode"), ParseBlockRule("email"), ParseBlockRule("phone"),
          ParseBlockRule("phonetic(given_name)+phonetic(surname)")};
}

void BM_ScorePairs(benchmark::State& state) {
  std::vector<std::vector<std::string_view>> columns;
  for (const FieldComparison& field : Fields()) columns.push_back(Column(field.column, 1));
  const LinkRecords records(Fields(), columns, columns.front().size());
  RuleColumns ruleColumns;
  for (const CandidateRule& rule : Rules())
    for (const std::string& column : rule.columns()) ruleColumns[column] = Column(column, 1);
  const RecordSpan span{records.recordCount(), records.recordCount()};
  // Every pair of the first 1,500 rows: 1.1 million pairs, most of them far apart.
  std::vector<RecordPair> pairs;
  for (std::uint32_t a = 0; a < 1500; ++a)
    for (std::uint32_t b = a + 1; b < 1500; ++b) pairs.push_back({a, b});
  TrainingOptions training;
  training.samplePairs = 200000;
  const LinkModel model = Train(records, CandidatePairs(Rules(), ruleColumns, span, 1), training);
  for (auto _ : state) benchmark::DoNotOptimize(ScorePairs(model, records, pairs, 0.9, 1));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pairs.size()));
}
BENCHMARK(BM_ScorePairs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LinkFileWithItself(benchmark::State& state) {
  const unsigned threads = static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    std::vector<std::vector<std::string_view>> columns;
    for (const FieldComparison& field : Fields()) columns.push_back(Column(field.column, 2));
    const std::size_t first = People().rowCount();
    const LinkRecords records(Fields(), columns, first);
    RuleColumns ruleColumns;
    for (const CandidateRule& rule : Rules())
      for (const std::string& column : rule.columns()) ruleColumns[column] = Column(column, 2);
    const RecordSpan span{records.recordCount(), first};
    const std::vector<RecordPair> candidates = CandidatePairs(Rules(), ruleColumns, span, threads);
    TrainingOptions training;
    training.samplePairs = 300000;
    training.threads = threads;
    const LinkModel model = Train(records, candidates, training);
    benchmark::DoNotOptimize(ScorePairs(model, records, candidates, 0.9, threads));
  }
}
BENCHMARK(BM_LinkFileWithItself)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vantel::bench

BENCHMARK_MAIN();
