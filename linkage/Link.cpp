// Scoring, grouping and evaluation of candidate pairs. Scoring runs in
// chunks whose kept pairs are joined in chunk order, so the output does not
// depend on the number of threads.

#include "vantel/Link.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <unordered_map>

#include "Parallel.h"

namespace vantel {
namespace {

constexpr std::size_t kChunk = 8192;

std::size_t Find(std::vector<std::size_t>& parent, std::size_t x) {
  while (parent[x] != x) {
    parent[x] = parent[parent[x]];
    x = parent[x];
  }
  return x;
}

}  // namespace

// Four bits of weight (a factor 16 in the odds) below the exact boundary:
// far more than the rounding of either side.
double LowestKeptWeight(double threshold) noexcept {
  if (!(threshold > 0.0)) return -std::numeric_limits<double>::infinity();
  // A probability of 1 takes a weight above 52: odds / (1 + odds) rounds to 1 only there.
  if (threshold >= 1.0) return 48.0;
  return std::log2(threshold / (1.0 - threshold)) - 4.0;
}

std::vector<LinkedPair> ScorePairs(const LinkModel& model, const LinkRecords& records,
                                   const std::vector<RecordPair>& candidates, double threshold, unsigned threads,
                                   const TermCounts* whole, const PairProgress& progress) {
  const ModelScorer scorer(model, records, whole);
  const std::size_t fields = records.fieldCount();
  const std::size_t chunks = (candidates.size() + kChunk - 1) / kChunk;
  std::vector<std::vector<LinkedPair>> kept(chunks);
  std::vector<FieldComparer> comparers(std::max(1u, threads));
  linkage::ChunkProgress counter(candidates.size(), progress);
  const double lowestKept = LowestKeptWeight(threshold);
  linkage::ForEachChunk(candidates.size(), kChunk, threads,
                        [&](std::size_t chunk, std::size_t begin, std::size_t end, unsigned worker) {
                          FieldComparer& comparer = comparers[worker];
                          std::vector<std::uint8_t> levels(fields);
                          for (std::size_t i = begin; i < end; ++i) {
                            const RecordPair pair = candidates[i];
                            for (std::size_t f = 0; f < fields; ++f)
                              levels[f] = comparer.Level(records.field(f), pair.first, pair.second);
                            const double weight = scorer.Weight(levels.data(), pair);
                            if (weight < lowestKept) continue;
                            const double probability = ProbabilityOf(weight);
                            if (probability >= threshold) kept[chunk].push_back({pair, weight, probability});
                          }
                          counter.Done(end - begin, worker);
                        });
  counter.Finish();
  std::vector<LinkedPair> all;
  for (const std::vector<LinkedPair>& part : kept) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<CandidateRule> DefaultRules(const std::vector<FieldComparison>& fields) {
  std::vector<CandidateRule> rules;
  std::vector<const FieldComparison*> names;
  for (const FieldComparison& field : fields)
    if (field.kind == FieldKind::Name) names.push_back(&field);
  for (const FieldComparison& field : fields)
    if (field.kind == FieldKind::Date || field.kind == FieldKind::Code || field.kind == FieldKind::Email) {
      CandidateRule block;
      // A code read by its tail is blocked by it: however a phone is written, its number is one key.
      if (field.kind == FieldKind::Code && field.tail > 0)
        block.parts.push_back({field.column, KeyKind::Last, field.tail});
      else
        block.parts.push_back({field.column, KeyKind::Value, 0});
      rules.push_back(block);
    }
  if (!names.empty()) {
    CandidateRule block;
    for (std::size_t n = 0; n < std::min<std::size_t>(names.size(), 2); ++n)
      block.parts.push_back({names[n]->column, KeyKind::Phonetic, 0});
    rules.push_back(block);
  }
  // Fields of no kind above alone: no field is left without a rule that
  // reaches its agreeing pairs.
  if (rules.empty())
    for (const FieldComparison& field : fields) {
      CandidateRule rule;
      if (field.kind == FieldKind::Text) {
        rule.kind = CandidateRule::Kind::Scan;
        rule.column = field.column;
        rule.threshold = field.thresholds.front();
        rule.method = field.method;
      } else {
        rule.parts.push_back({field.column, KeyKind::Value, 0});
      }
      rules.push_back(rule);
    }
  return rules;
}

double Quality::precision() const noexcept {
  return foundPairs ? static_cast<double>(correct) / static_cast<double>(foundPairs) : 0.0;
}
double Quality::recall() const noexcept {
  return truePairs ? static_cast<double>(correct) / static_cast<double>(truePairs) : 0.0;
}
double Quality::f1() const noexcept {
  const double p = precision(), r = recall();
  return p + r > 0 ? 2 * p * r / (p + r) : 0.0;
}

std::uint64_t TruePairCount(const std::vector<std::uint64_t>& entity, RecordSpan span) {
  std::unordered_map<std::uint64_t, std::pair<std::uint64_t, std::uint64_t>> counts;
  for (std::size_t record = 0; record < span.recordCount; ++record) {
    auto& count = counts[entity[record]];
    (record < span.firstCount ? count.first : count.second) += 1;
  }
  std::uint64_t pairs = 0;
  for (const auto& [key, count] : counts)
    pairs += span.linking() ? count.first * count.second : count.first * (count.first - 1) / 2;
  return pairs;
}

Quality PairQuality(const std::vector<RecordPair>& pairs, const std::vector<std::uint64_t>& entity, RecordSpan span) {
  Quality quality;
  quality.truePairs = TruePairCount(entity, span);
  quality.foundPairs = pairs.size();
  for (const RecordPair& pair : pairs) quality.correct += entity[pair.first] == entity[pair.second] ? 1u : 0u;
  return quality;
}

LinkGroups GroupPairs(const std::vector<LinkedPair>& pairs, RecordSpan span) {
  const std::size_t recordCount = span.recordCount;
  std::vector<std::size_t> parent(recordCount);
  std::iota(parent.begin(), parent.end(), std::size_t{0});
  std::vector<std::uint8_t> paired(recordCount, 0);
  for (const LinkedPair& linked : pairs) {
    paired[linked.pair.first] = paired[linked.pair.second] = 1;
    const std::size_t a = Find(parent, linked.pair.first), b = Find(parent, linked.pair.second);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
  }
  LinkGroups groups;
  groups.groupOf.assign(recordCount, 0);
  std::vector<std::size_t> groupOfRoot(recordCount, 0);
  for (std::size_t record = 0; record < recordCount; ++record) {
    if (!paired[record]) continue;
    const std::size_t root = Find(parent, record);
    if (groupOfRoot[root] == 0) {
      groups.sizes.push_back(0);
      groupOfRoot[root] = groups.sizes.size();
    }
    groups.groupOf[record] = groupOfRoot[root];
    ++groups.sizes[groupOfRoot[root] - 1];
  }
  std::vector<std::uint64_t> kept(groups.sizes.size(), 0);
  for (const LinkedPair& linked : pairs) ++kept[groups.groupOf[linked.pair.first] - 1];
  std::vector<std::uint64_t> firstMembers(groups.sizes.size(), 0);
  if (span.linking())
    for (std::size_t record = 0; record < span.firstCount; ++record)
      if (groups.groupOf[record]) ++firstMembers[groups.groupOf[record] - 1];
  for (std::size_t g = 0; g < groups.sizes.size(); ++g) {
    const std::uint64_t size = groups.sizes[g];
    const std::uint64_t memberPairs =
        span.linking() ? firstMembers[g] * (size - firstMembers[g]) : size * (size - 1) / 2;
    groups.density.push_back(static_cast<double>(kept[g]) / static_cast<double>(memberPairs));
  }
  return groups;
}

Quality GroupQuality(const LinkGroups& groups, const std::vector<std::uint64_t>& entity, RecordSpan span) {
  Quality quality;
  quality.truePairs = TruePairCount(entity, span);
  // Per group, its members of each file; per group and entity, the same.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> members(groups.sizes.size());
  std::map<std::pair<std::size_t, std::uint64_t>, std::pair<std::uint64_t, std::uint64_t>> together;
  for (std::size_t record = 0; record < groups.groupOf.size(); ++record) {
    const std::size_t group = groups.groupOf[record];
    if (group == 0) continue;
    const bool first = record < span.firstCount;
    (first ? members[group - 1].first : members[group - 1].second) += 1;
    auto& count = together[{group, entity[record]}];
    (first ? count.first : count.second) += 1;
  }
  const auto pairsOf = [&](const std::pair<std::uint64_t, std::uint64_t>& count) {
    return span.linking() ? count.first * count.second : count.first * (count.first - 1) / 2;
  };
  for (const auto& count : members) quality.foundPairs += pairsOf(count);
  for (const auto& [key, count] : together) quality.correct += pairsOf(count);
  return quality;
}

}  // namespace vantel
