// The linkage of records from their column values to the kept pairs, in the
// steps that every surface takes in the same order: the texts of the fields
// and rules read into LinkRules; then on a LinkPipeline the pairs each rule
// would yield (Plan), the prepared records (Prepare), the candidate pairs
// (FindCandidates), the model (Train, or one given), the pairs kept at a
// probability (Keep), what each field adds to a pair (Explain), the groups
// of the kept pairs (Groups) and, when the truth is known, the quality at
// several thresholds (Evaluate). The command line and the Python package
// both call these, so that they give one answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "vantel/Candidates.h"
#include "vantel/Comparisons.h"
#include "vantel/Link.h"
#include "vantel/LinkModel.h"

namespace vantel {

// A field or rule text that cannot be read: which kind of text, the text
// and why. what() is "TEXT: REASON".
class RuleTextError : public std::invalid_argument {
 public:
  enum class Part : std::uint8_t { Field, Scan, Block };
  RuleTextError(Part part, std::string given, const std::string& reason);

  Part part() const noexcept { return part_; }
  const std::string& given() const noexcept { return given_; }
  const std::string& reason() const noexcept { return reason_; }

 private:
  Part part_;
  std::string given_;
  std::string reason_;
};

// "COLUMN:KIND[:KEY=VALUE]..." (see ParseFieldComparison). Throws RuleTextError.
FieldComparison ParseLinkField(std::string_view given);

// The fields compared and the candidate rules.
struct LinkRules {
  std::vector<FieldComparison> fields;
  std::vector<CandidateRule> rules;  // never empty: DefaultRules(fields) when none is given

  // Scan rules "C:T" (the method that of the name or text field C, else 2)
  // and block rules "K[+K...]". Throws RuleTextError for a text that cannot
  // be read, std::invalid_argument when there is no field.
  static LinkRules Of(std::vector<FieldComparison> fields, const std::vector<std::string>& scans,
                      const std::vector<std::string>& blocks);

  // Every column named: the fields' first, then the rules', each once.
  std::vector<std::string> columns() const;
};

// The candidates and what each rule yielded.
struct LinkCandidates {
  std::vector<RecordPair> pairs;                // ascending, each once
  std::vector<std::uint64_t> perRule;           // pairs of each rule
  std::vector<std::vector<RecordPair>> byRule;  // each rule's pairs, when asked for (training needs them)
};

// What one field adds to a pair's weight.
struct FieldExplanation {
  std::uint8_t level;  // kMissingLevel when either value is missing
  double weight;
};

// A record of a group as the groups are written: groups in the order of
// their first members, members in record order.
struct GroupRow {
  std::size_t group;  // from 1
  std::size_t record;
  std::size_t size;
  double density;
};

struct ThresholdQuality {
  double threshold;
  Quality pairs;
  Quality groups;  // linking: a group's pairs are those of one record of each file
};

struct LinkEvaluation {
  std::uint64_t candidatePairs = 0;
  Quality candidates;  // the recall of the candidates alone: the most a model could find
  std::vector<ThresholdQuality> thresholds;
};

// The groups of kept pairs among the records of span, as LinkPipeline::Groups lists them.
std::vector<GroupRow> GroupRows(const std::vector<LinkedPair>& kept, RecordSpan span, bool all);

// The first texts of a whole file from those of its parts, in the parts'
// order: `own` and `swap` as FirstTextsOf gives them, one entry per part.
std::vector<FirstTexts> MergeFirstTexts(const std::vector<std::vector<FirstTexts>>& own,
                                        const std::vector<std::vector<FirstTexts>>& swap);

// The thresholds of Evaluate when none is given.
const std::vector<double>& EvaluationThresholds();

// One number per record for a truth column: records with the same value are
// one entity; a record with an empty value is an entity of its own.
std::vector<std::uint64_t> EntitiesOf(const std::vector<std::string_view>& truth);

class LinkPipeline {
 public:
  // `values` holds every column of rules.columns() for every record (for
  // linking, the first file's records and then the second's: firstCount of
  // them are the first file's; firstCount == the record count when
  // de-duplicating). The views must outlive the pipeline and every
  // LinkRecords it prepares. Throws std::invalid_argument when a column is
  // missing or of another length.
  LinkPipeline(LinkRules rules, RuleColumns values, std::size_t firstCount);

  const LinkRules& rules() const noexcept { return rules_; }
  RecordSpan span() const noexcept { return span_; }
  // A field's values, for every record.
  const std::vector<std::string_view>& values(std::size_t field) const;

  // How many pairs each rule yields (a block rule counted without making them).
  std::vector<std::uint64_t> Plan(unsigned threads) const;
  // `whole`: the first texts of a whole file of which these records are a
  // part (see PreparedField), one per field.
  LinkRecords Prepare(const std::vector<FirstTexts>* whole = nullptr) const;
  // The first texts of the name and text fields of these records (by the
  // keys of `records`, prepared here), empty for the other fields: those of
  // each field's own values, then, in `swapTexts` when given, those of the
  // values that only its swap column holds. The whole file's text of a key
  // is its first own text in any part, and only without one its first swap
  // text (MergeFirstTexts).
  std::vector<FirstTexts> FirstTextsOf(const LinkRecords& records, std::vector<FirstTexts>* swapTexts = nullptr) const;
  LinkCandidates FindCandidates(unsigned threads, bool byRule) const;
  // One share of the candidates (see SharePairs): `pairs` only.
  LinkCandidates FindShare(CandidateShare share, unsigned threads) const;
  // Trains without labels: one EM per rule over its pairs, each leaving out
  // the fields its rule chose pairs by. Takes candidates.byRule.
  LinkModel Train(const LinkRecords& records, LinkCandidates& candidates, const TrainingOptions& options) const;
  // Trains from a truth instead: m from the candidate pairs of one entity
  // (`entity`, one per record, as EntitiesOf gives), u from random pairs.
  LinkModel TrainFromTruth(const LinkRecords& records, const std::vector<RecordPair>& candidates,
                           const std::vector<std::uint64_t>& entity, const TrainingOptions& options) const;
  // The pairs whose probability reaches `threshold`, by first record, the
  // heaviest first, then by second record; with top > 0 the `top` first of
  // each first record. `whole`: see ModelScorer.
  std::vector<LinkedPair> Keep(const LinkModel& model, const LinkRecords& records,
                               const std::vector<RecordPair>& candidates, double threshold, std::size_t top,
                               unsigned threads, const TermCounts* whole = nullptr,
                               const PairProgress& progress = {}) const;
  // fieldCount() explanations per pair, pair after pair.
  std::vector<FieldExplanation> Explain(const LinkModel& model, const LinkRecords& records,
                                        const std::vector<LinkedPair>& pairs, const TermCounts* whole = nullptr) const;
  // The groups of the kept pairs (linking: of the records of both files);
  // with `all` also every record in no pair, as a group of one in its place.
  std::vector<GroupRow> Groups(const std::vector<LinkedPair>& kept, bool all) const;
  // Precision, recall and F1 of the pairs and of their groups at each
  // threshold, against `entity` (one per record).
  LinkEvaluation Evaluate(const LinkModel& model, const LinkRecords& records, const std::vector<RecordPair>& candidates,
                          const std::vector<std::uint64_t>& entity, const std::vector<double>& thresholds,
                          unsigned threads, const PairProgress& progress = {}) const;

 private:
  LinkRules rules_;
  RuleColumns values_;
  RecordSpan span_;
};

}  // namespace vantel
