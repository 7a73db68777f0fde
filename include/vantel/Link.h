// The linkage pipeline over prepared records: candidate pairs scored by a
// model, the pairs that reach a probability kept, and how good they are
// when the truth is known.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vantel/Candidates.h"
#include "vantel/LinkModel.h"

namespace vantel {

struct LinkedPair {
  RecordPair pair;
  double weight;
  double probability;
};

// A weight below which no probability (ProbabilityOf) reaches `threshold`:
// scoring lets most pairs go without working out their probability.
double LowestKeptWeight(double threshold) noexcept;

// The candidate pairs whose probability reaches `threshold`, in the order of
// `candidates`. The same on any number of threads.
// Term frequencies are those of `whole` when given (see ModelScorer).
std::vector<LinkedPair> ScorePairs(const LinkModel& model, const LinkRecords& records,
                                   const std::vector<RecordPair>& candidates, double threshold, unsigned threads,
                                   const TermCounts* whole = nullptr, const PairProgress& progress = {});

// The rules used when none is given: a block on each date, code and email
// field, and one on the phonetic forms of the first two name fields
// together (of the one, when there is one). No scan beside them: a scan
// compares every pair of records, which only the user can judge (--plan
// shows its pairs). Only when the fields give none of these: a block on each
// exact field, and a scan at its first threshold on each text field.
std::vector<CandidateRule> DefaultRules(const std::vector<FieldComparison>& fields);

// Precision, recall and F1 of a set of pairs against the truth: records with
// the same entity number are one entity.
struct Quality {
  std::uint64_t truePairs = 0;   // pairs of one entity (linking: one record of each file)
  std::uint64_t foundPairs = 0;  // pairs given
  std::uint64_t correct = 0;     // pairs given that are of one entity
  double precision() const noexcept;
  double recall() const noexcept;
  double f1() const noexcept;
};

// The true pairs of `entity` (one number per record) within span.
std::uint64_t TruePairCount(const std::vector<std::uint64_t>& entity, RecordSpan span);
Quality PairQuality(const std::vector<RecordPair>& pairs, const std::vector<std::uint64_t>& entity, RecordSpan span);

// The connected components of the kept pairs, with each group's share of
// its member pairs that are kept (1 for a clique; low for a chain held by
// weak links). Linking, a group's member pairs are those of one record of
// each file, the only pairs that can be kept.
struct LinkGroups {
  std::vector<std::size_t> groupOf;  // per record: its group from 1, 0 for a record in no pair
  std::vector<std::size_t> sizes;    // per group (index group - 1)
  std::vector<double> density;       // per group
};
LinkGroups GroupPairs(const std::vector<LinkedPair>& pairs, RecordSpan span);
// The quality of the groups as pairs: every two members of a group count as
// a pair found (linking: one of each file). Counted per group, without
// making the pairs, which a group of a million members would not survive.
Quality GroupQuality(const LinkGroups& groups, const std::vector<std::uint64_t>& entity, RecordSpan span);

}  // namespace vantel
