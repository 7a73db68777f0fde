// The Fellegi-Sunter model of record linkage: for each field and level, m
// (how often true matches show that level) and u (how often non-matches do),
// and the prior share of matches among the candidate pairs. A pair's match
// weight is log2(prior / (1 - prior)) plus log2(m / u) for each field that is
// not missing; its probability is 2^w / (1 + 2^w).
//
// u comes from a large random sample of all pairs, m and the prior from
// expectation-maximisation over the distinct comparison vectors of the
// candidate pairs, without labels. Training gives the same model, bit for
// bit, on any number of threads: levels are counted exactly and every sum of
// the EM runs over the patterns in one fixed order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vantel/Comparisons.h"

namespace vantel {

// The records of one file (de-duplication) or of two files one after the
// other (linking: records from firstCount on belong to the second file).
class LinkRecords {
 public:
  // columns[f] holds the values of field f for every record.
  // `firstTexts` (when given, one per field): see PreparedField.
  LinkRecords(const std::vector<FieldComparison>& fields, const std::vector<std::vector<std::string_view>>& columns,
              std::size_t firstCount, const std::vector<FirstTexts>* firstTexts = nullptr);

  std::size_t recordCount() const noexcept { return recordCount_; }
  std::size_t firstCount() const noexcept { return firstCount_; }
  bool linking() const noexcept { return firstCount_ < recordCount_; }
  std::size_t fieldCount() const noexcept { return fields_.size(); }
  const PreparedField& field(std::size_t index) const noexcept { return fields_[index]; }

 private:
  std::vector<PreparedField> fields_;
  std::size_t recordCount_;
  std::size_t firstCount_;
};

// Two records of a LinkRecords; for linking, first < firstCount <= second.
struct RecordPair {
  std::uint32_t first;
  std::uint32_t second;

  friend bool operator==(const RecordPair&, const RecordPair&) = default;
  friend bool operator<(const RecordPair& a, const RecordPair& b) {
    return a.first != b.first ? a.first < b.first : a.second < b.second;
  }
};

// Now and then told how many of `total` pairs are done, from the thread that
// called (never from two at once); the last call has done == total.
using PairProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// The levels of every field for each pair: pairs.size() rows of fieldCount()
// levels. Worked out on `threads` threads; the same on any number.
std::vector<std::uint8_t> ComparisonLevels(const LinkRecords& records, const std::vector<RecordPair>& pairs,
                                           unsigned threads, const PairProgress& progress = {});

// A distinct comparison vector and how many pairs show it.
struct Pattern {
  std::vector<std::uint8_t> levels;
  std::uint64_t count;
};
// In ascending order of their levels.
std::vector<Pattern> CountPatterns(const std::vector<std::uint8_t>& levels, std::size_t fieldCount);

using LevelTable = std::vector<std::vector<double>>;  // [field][level]

struct EmOptions {
  int maxIterations = 1000;
  double tolerance = 1e-9;    // stops once no m (nor u when learnt) and not the prior moves by more
  double pseudoCount = 0.01;  // added to each level's expected count, so that no m is 0
  // Also learn u, from the expected non-matches, starting from the u given:
  // for pairs that are not random pairs, such as those of one candidate rule.
  bool learnU = false;
};

struct EmResult {
  LevelTable m;
  LevelTable u;  // the u given, or the one learnt
  double prior;
  int iterations;
  bool converged;
};

// Expectation-maximisation of m and the prior with u held fixed (or learnt
// too, with learnU). E step: the match probability of each pattern; M step:
// m(f, l) = (sum of count * p over the patterns at level l of f +
// pseudoCount) / (sum of count * p over those where f is not missing +
// pseudoCount * levels of f); u likewise with 1 - p; prior = the mean p.
EmResult RunEm(const std::vector<Pattern>& patterns, const LevelTable& u, LevelTable m, double prior,
               const EmOptions& options);

// The starting point that steers the EM toward persons: m puts 0.9 on the
// top level of each field (the rest falling by halves), and the prior is the
// share of candidate pairs that agree exactly on at least three quarters of
// the fields both have (at least three fields).
LevelTable StartingM(const std::vector<FieldComparison>& fields);
double StartingPrior(const std::vector<Pattern>& patterns);

// u: the levels' shares in `pairs` pairs drawn at random (a fixed seed; for
// linking one record of each file), with half a pair added to every level.
LevelTable EstimateU(const LinkRecords& records, std::uint64_t pairs, std::uint64_t seed, unsigned threads,
                     std::uint64_t* pairsUsed = nullptr, const PairProgress& progress = {});

struct FieldModel {
  FieldComparison comparison;
  std::vector<double> m;
  std::vector<double> u;
};

struct TrainingSummary {
  std::uint64_t records = 0;       // of the first (or only) file
  std::uint64_t otherRecords = 0;  // of the second file when linking
  std::uint64_t samplePairs = 0;   // random pairs that estimated u
  std::uint64_t candidatePairs = 0;
  std::uint64_t patterns = 0;
  std::uint64_t labelledMatches = 0;  // trained from truth labels: the candidate pairs that match
  int iterations = 0;
  bool converged = false;
  bool fromTruth = false;
};

struct LinkModel {
  std::vector<FieldModel> fields;
  double prior = 0.0;
  TrainingSummary training;

  double PriorWeight() const noexcept;
  // log2(m / u) of a level; 0 for kMissingLevel.
  double LevelWeight(std::size_t field, std::uint8_t level) const noexcept;
};

struct TrainingOptions {
  std::uint64_t samplePairs = 1000000;
  std::uint64_t seed = 20231;
  unsigned threads = 1;
  EmOptions em;
  // The pairs compared so far of samplePairs + the candidates.
  PairProgress progress;
};

// The pairs of one candidate rule and the fields that rule compared to
// choose them: their agreement says nothing about matching within the rule's
// pairs, so the session of this rule leaves them out.
struct TrainingSession {
  std::vector<RecordPair> pairs;  // ascending, each among the candidates
  std::vector<std::size_t> excludedFields;
  // The rule is plain equality on the excluded fields' values, so that
  // its matches are those that agree on all of them.
  bool equalityRule = false;
};

// Trains on the candidate pairs of `records` without labels. Without
// sessions, one EM runs over all candidates. With them, one EM runs per
// session, learning the session's own u as it goes (its pairs are no random
// pairs), and each field takes m from the session, of those that do not
// leave it out, in which its top level is likeliest among matches (a field
// that every session leaves out takes its m from one EM over all
// candidates); the number of matches is the median of what the equality
// rules' sessions imply (each found the matches that agree on its fields),
// or, without such rules, the share of matches among the candidates with m
// and u fixed. The prior is that many matches among all pairs of the records.
LinkModel Train(const LinkRecords& records, const std::vector<RecordPair>& candidates, const TrainingOptions& options,
                const std::vector<TrainingSession>& sessions = {});
// Trains from labels instead: m from the candidate pairs that `isMatch`
// marks, u still from random pairs, the prior from the marked pairs'
// share of all pairs of the records.
LinkModel TrainFromLabels(const LinkRecords& records, const std::vector<RecordPair>& candidates,
                          const std::vector<bool>& isMatch, const TrainingOptions& options);

// How many records hold each value (by PreparedField::key) of each field
// whose exact agreement weighs by its frequency; empty for the other fields.
// Counted over a whole file, they let records that are only a part of it (a
// partition on a cluster) be scored as the whole file scores them.
using TermCounts = std::vector<std::unordered_map<std::string, std::uint64_t>>;
bool WeighsByFrequency(const FieldComparison& field) noexcept;
TermCounts CountTerms(const LinkRecords& records);
void AddTermCounts(TermCounts& total, const TermCounts& part);

// The term counts of a file that small sets of other records are scored
// against, one set at a time (a lookup service): made once, with how many
// of the file's records have a value in each field.
struct FileTerms {
  TermCounts counts;
  std::vector<std::uint64_t> present;
};
FileTerms TermsOfFile(TermCounts counts);

// Scores pairs with a model whose fields are those of `records`. Exact
// agreement on a field with term frequencies weighs log2(m / share of the
// value among the records that have one) instead of log2(m / u); the shares
// are those of `whole` when given (which must count every value of
// `records`), else of `records`.
class ModelScorer {
 public:
  ModelScorer(const LinkModel& model, const LinkRecords& records, const TermCounts* whole = nullptr);
  // `records` from `firstOfFile` on are records of the file that `file`
  // counts; those before it are not, and count on top of it: the shares are
  // those of a link of the two. A value the counts lack, or hold fewer
  // times than these records do (the file changed since it was counted),
  // counts as often as it occurs among `records`.
  ModelScorer(const LinkModel& model, const LinkRecords& records, const FileTerms& file, std::size_t firstOfFile);
  // The weight of one pair from its levels (fieldCount() of them).
  double Weight(const std::uint8_t* levels, RecordPair pair) const noexcept;
  // What field `field` adds to it.
  double FieldWeight(std::size_t field, std::uint8_t level, RecordPair pair) const noexcept;

 private:
  void Weigh(const LinkModel& model, const TermCounts* file, const std::vector<std::uint64_t>* filePresent,
             std::size_t outside);

  const LinkRecords* records_;
  double priorWeight_;
  std::vector<std::vector<double>> weights_;    // [field][level]
  std::vector<std::vector<double>> tfWeights_;  // [field][value] for exact agreement; empty without term frequencies
};

double ProbabilityOf(double weight) noexcept;

// The model as readable JSON, and back. ModelFromJson throws
// std::invalid_argument that says what does not fit: corrupt or truncated
// text, a missing member, a level table of the wrong size, m or u outside
// (0, 1]. CheckModelFits throws when the model's fields are not `fields`.
std::string ModelToJson(const LinkModel& model);
LinkModel ModelFromJson(std::string_view json);
void CheckModelFits(const LinkModel& model, const std::vector<FieldComparison>& fields);

}  // namespace vantel
