// Training and scoring of the Fellegi-Sunter model. The EM runs over the
// distinct comparison vectors rather than the pairs: a few thousand patterns
// stand for millions of pairs, every sum is exact in one fixed order, and so
// the model is the same on any number of threads.

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>

#include "Parallel.h"
#include "PreparedData.h"
#include "vantel/LinkModel.h"

namespace vantel {
namespace {

constexpr std::size_t kChunk = 4096;
constexpr double kSessionTolerance = 1e-6;

std::uint64_t SplitMix64(std::uint64_t& state) noexcept {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A number from [0, bound) without the bias of a plain remainder.
std::uint64_t Below(std::uint64_t& state, std::uint64_t bound) noexcept {
  const std::uint64_t limit = ~std::uint64_t{0} - (~std::uint64_t{0} % bound);
  std::uint64_t draw = SplitMix64(state);
  while (draw >= limit) draw = SplitMix64(state);
  return draw % bound;
}

std::vector<FieldComparison> ComparisonsOf(const LinkRecords& records) {
  std::vector<FieldComparison> fields;
  for (std::size_t f = 0; f < records.fieldCount(); ++f) fields.push_back(records.field(f).comparison());
  return fields;
}

// The pairs that a model judges: of the two files when linking, of the one otherwise.
double AllPairCount(const LinkRecords& records) {
  const double first = static_cast<double>(records.firstCount());
  const double second = static_cast<double>(records.recordCount() - records.firstCount());
  return records.linking() ? first * second : first * (first - 1) / 2;
}

LinkModel AssembleModel(const LinkRecords& records, const LevelTable& m, const LevelTable& u, double prior) {
  LinkModel model;
  for (std::size_t f = 0; f < records.fieldCount(); ++f)
    model.fields.push_back({records.field(f).comparison(), m[f], u[f]});
  model.prior = prior;
  model.training.records = records.firstCount();
  model.training.otherRecords = records.recordCount() - records.firstCount();
  return model;
}

}  // namespace

LinkRecords::LinkRecords(const std::vector<FieldComparison>& fields,
                         const std::vector<std::vector<std::string_view>>& columns, std::size_t firstCount,
                         const std::vector<FirstTexts>* firstTexts)
    : recordCount_(columns.empty() ? 0 : columns.front().size()), firstCount_(firstCount) {
  if (fields.size() != columns.size()) throw std::invalid_argument("one column of values is needed per field");
  if (recordCount_ > 0xFFFFFFF0u) throw std::invalid_argument("too many records");
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if (columns[f].size() != recordCount_) throw std::invalid_argument("the columns differ in length");
    const std::vector<std::string_view>* swapValues = nullptr;
    if (fields[f].hasSwappedLevel()) {
      for (std::size_t g = 0; g < fields.size() && swapValues == nullptr; ++g)
        if (g != f && fields[g].column == fields[f].swapWith && fields[g].kind == FieldKind::Name)
          swapValues = &columns[g];
      if (swapValues == nullptr)
        throw std::invalid_argument("field " + fields[f].column + ": swap=" + fields[f].swapWith +
                                    " is not another name field");
    }
    fields_.emplace_back(fields[f], columns[f], firstTexts != nullptr ? &firstTexts->at(f) : nullptr, swapValues);
  }
  firstCount_ = std::min(firstCount_, recordCount_);
}

std::vector<std::uint8_t> ComparisonLevels(const LinkRecords& records, const std::vector<RecordPair>& pairs,
                                           unsigned threads, const PairProgress& progress) {
  const std::size_t fields = records.fieldCount();
  std::vector<std::uint8_t> levels(pairs.size() * fields);
  std::vector<FieldComparer> comparers(std::max(1u, threads));
  linkage::ChunkProgress counter(pairs.size(), progress);
  linkage::ForEachChunk(
      pairs.size(), kChunk, threads, [&](std::size_t, std::size_t begin, std::size_t end, unsigned worker) {
        FieldComparer& comparer = comparers[worker];
        for (std::size_t i = begin; i < end; ++i)
          for (std::size_t f = 0; f < fields; ++f)
            levels[i * fields + f] = comparer.Level(records.field(f), pairs[i].first, pairs[i].second);
        counter.Done(end - begin, worker);
      });
  counter.Finish();
  return levels;
}

std::vector<Pattern> CountPatterns(const std::vector<std::uint8_t>& levels, std::size_t fieldCount) {
  // Keyed by the levels as bytes: a string orders them as unsigned bytes,
  // which is the order of the levels themselves.
  std::map<std::string, std::uint64_t> counts;
  if (fieldCount == 0) return {};
  for (std::size_t at = 0; at + fieldCount <= levels.size(); at += fieldCount)
    ++counts[std::string(reinterpret_cast<const char*>(levels.data() + at), fieldCount)];
  std::vector<Pattern> patterns;
  patterns.reserve(counts.size());
  for (const auto& [key, count] : counts)
    patterns.push_back({std::vector<std::uint8_t>(key.begin(), key.end()), count});
  return patterns;
}

EmResult RunEm(const std::vector<Pattern>& patterns, const LevelTable& u, LevelTable m, double prior,
               const EmOptions& options) {
  const std::size_t fields = u.size();
  EmResult result{std::move(m), u, prior, 0, false};
  std::vector<double> probability(patterns.size());
  while (result.iterations < options.maxIterations) {
    // E step.
    for (std::size_t p = 0; p < patterns.size(); ++p) {
      double match = result.prior, nonMatch = 1.0 - result.prior;
      for (std::size_t f = 0; f < fields; ++f) {
        const std::uint8_t level = patterns[p].levels[f];
        if (level == kMissingLevel) continue;
        match *= result.m[f][level];
        nonMatch *= result.u[f][level];
      }
      probability[p] = match + nonMatch > 0 ? match / (match + nonMatch) : 0.0;
    }
    // M step.
    LevelTable expected(fields), expectedNonMatches(fields);
    for (std::size_t f = 0; f < fields; ++f) {
      expected[f].assign(u[f].size(), 0.0);
      expectedNonMatches[f].assign(u[f].size(), 0.0);
    }
    double matches = 0.0, total = 0.0;
    for (std::size_t p = 0; p < patterns.size(); ++p) {
      const double count = static_cast<double>(patterns[p].count);
      const double weighted = count * probability[p];
      matches += weighted;
      total += count;
      for (std::size_t f = 0; f < fields; ++f) {
        const std::uint8_t level = patterns[p].levels[f];
        if (level == kMissingLevel) continue;
        expected[f][level] += weighted;
        expectedNonMatches[f][level] += count - weighted;
      }
    }
    double change = 0.0;
    // The shares of each level in the expected counts, moved into `table`.
    const auto reestimate = [&](const LevelTable& counts, LevelTable& table) {
      for (std::size_t f = 0; f < fields; ++f) {
        double sum = 0.0;
        for (const double value : counts[f]) sum += value;
        const double denominator = sum + options.pseudoCount * static_cast<double>(counts[f].size());
        for (std::size_t level = 0; level < counts[f].size(); ++level) {
          const double updated = (counts[f][level] + options.pseudoCount) / denominator;
          change = std::max(change, std::fabs(updated - table[f][level]));
          table[f][level] = updated;
        }
      }
    };
    reestimate(expected, result.m);
    if (options.learnU) reestimate(expectedNonMatches, result.u);
    const double updatedPrior = total > 0 ? matches / total : 0.0;
    change = std::max(change, std::fabs(updatedPrior - result.prior));
    result.prior = updatedPrior;
    ++result.iterations;
    if (change < options.tolerance) {
      result.converged = true;
      break;
    }
  }
  return result;
}

LevelTable StartingM(const std::vector<FieldComparison>& fields) {
  LevelTable m;
  for (const FieldComparison& field : fields) {
    const std::size_t levels = field.levelCount();
    std::vector<double> row(levels);
    row[0] = 0.9;
    double rest = 0.1;
    for (std::size_t level = 1; level < levels; ++level) {
      row[level] = level + 1 == levels ? rest : rest / 2;
      rest -= row[level];
    }
    m.push_back(row);
  }
  return m;
}

double StartingPrior(const std::vector<Pattern>& patterns) {
  std::uint64_t agreeing = 0, total = 0;
  for (const Pattern& pattern : patterns) {
    std::size_t present = 0, equal = 0;
    for (const std::uint8_t level : pattern.levels) {
      present += level != kMissingLevel ? 1 : 0;
      equal += level == 0 ? 1 : 0;
    }
    total += pattern.count;
    if (equal >= 3 && 4 * equal >= 3 * present) agreeing += pattern.count;
  }
  const double share = total > 0 ? static_cast<double>(agreeing) / static_cast<double>(total) : 0.0;
  return std::clamp(share, 1e-6, 0.5);
}

LevelTable EstimateU(const LinkRecords& records, std::uint64_t pairs, std::uint64_t seed, unsigned threads,
                     std::uint64_t* pairsUsed, const PairProgress& progress) {
  const std::size_t fields = records.fieldCount();
  std::vector<RecordPair> sample;
  const std::uint64_t first = records.firstCount();
  const std::uint64_t second = records.recordCount() - first;
  const bool possible = records.linking() ? first > 0 && second > 0 : records.recordCount() > 1;
  if (possible) {
    // Bounded on a 32-bit build, where the sample cannot be that large anyway.
    sample.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(pairs, SIZE_MAX / sizeof(RecordPair))));
    std::uint64_t state = seed;
    while (sample.size() < pairs) {
      std::uint64_t a = 0, b = 0;
      if (records.linking()) {
        a = Below(state, first);
        b = first + Below(state, second);
      } else {
        a = Below(state, records.recordCount());
        b = Below(state, records.recordCount());
        if (a == b) continue;
      }
      sample.push_back({static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)});
    }
  }
  if (pairsUsed) *pairsUsed = sample.size();
  const std::vector<std::uint8_t> levels = ComparisonLevels(records, sample, threads, progress);
  LevelTable u(fields);
  std::vector<double> present(fields, 0.0);
  std::vector<std::vector<std::uint64_t>> counts(fields);
  for (std::size_t f = 0; f < fields; ++f) counts[f].assign(records.field(f).comparison().levelCount(), 0);
  for (std::size_t i = 0; i < sample.size(); ++i)
    for (std::size_t f = 0; f < fields; ++f) {
      const std::uint8_t level = levels[i * fields + f];
      if (level != kMissingLevel) ++counts[f][level];
    }
  for (std::size_t f = 0; f < fields; ++f) {
    std::uint64_t seen = 0;
    for (const std::uint64_t count : counts[f]) seen += count;
    const double denominator = static_cast<double>(seen) + 0.5 * static_cast<double>(counts[f].size());
    for (const std::uint64_t count : counts[f]) u[f].push_back((static_cast<double>(count) + 0.5) / denominator);
  }
  return u;
}

namespace {

// What either training compares: the random sample for u, and the
// candidates' levels; its progress is that of both as one count.
struct TrainingLevels {
  LevelTable u;
  std::uint64_t samplePairs = 0;
  std::vector<std::uint8_t> levels;
};

TrainingLevels CompareForTraining(const LinkRecords& records, const std::vector<RecordPair>& candidates,
                                  const TrainingOptions& options) {
  TrainingLevels compared;
  const std::uint64_t count = candidates.size();
  PairProgress sampling, comparing;
  if (options.progress) {
    sampling = [&](std::uint64_t done, std::uint64_t) { options.progress(done, options.samplePairs + count); };
    comparing = [&](std::uint64_t done, std::uint64_t) {
      options.progress(compared.samplePairs + done, compared.samplePairs + count);
    };
  }
  compared.u = EstimateU(records, options.samplePairs, options.seed, options.threads, &compared.samplePairs, sampling);
  compared.levels = ComparisonLevels(records, candidates, options.threads, comparing);
  return compared;
}

}  // namespace

LinkModel Train(const LinkRecords& records, const std::vector<RecordPair>& candidates, const TrainingOptions& options,
                const std::vector<TrainingSession>& sessions) {
  const TrainingLevels compared = CompareForTraining(records, candidates, options);
  const LevelTable& u = compared.u;
  const std::vector<FieldComparison> fields = ComparisonsOf(records);
  const std::size_t fieldCount = records.fieldCount();
  const std::vector<std::uint8_t>& levels = compared.levels;
  const std::vector<Pattern> patterns = CountPatterns(levels, fieldCount);
  const EmResult all = RunEm(patterns, u, StartingM(fields), StartingPrior(patterns), options.em);
  LinkModel model;
  if (sessions.empty()) {
    model = AssembleModel(records, all.m, u, all.prior);
    model.training.iterations = all.iterations;
    model.training.converged = all.converged;
  } else {
    // Each field keeps the estimate of the session in which agreement on it
    // is likeliest among matches: a session whose pairs hold many relatives
    // (one address, one surname) makes its "matches" partly households and
    // so only ever lowers it. Of equal ones, the earlier session's.
    LevelTable m = all.m;
    std::vector<bool> estimated(fieldCount, false);
    std::vector<double> sessionMatches(sessions.size(), -1.0);
    bool converged = true;
    int iterations = 0;
    for (std::size_t s = 0; s < sessions.size(); ++s) {
      const TrainingSession& session = sessions[s];
      std::vector<std::uint8_t> sessionLevels;
      sessionLevels.reserve(session.pairs.size() * fieldCount);
      for (const RecordPair& pair : session.pairs) {
        const auto found = std::lower_bound(candidates.begin(), candidates.end(), pair);
        if (found == candidates.end() || !(*found == pair))
          throw std::invalid_argument("a session's pair is not among the candidates");
        const std::size_t at = static_cast<std::size_t>(found - candidates.begin()) * fieldCount;
        for (std::size_t f = 0; f < fieldCount; ++f) {
          const bool excluded = std::find(session.excludedFields.begin(), session.excludedFields.end(), f) !=
                                session.excludedFields.end();
          sessionLevels.push_back(excluded ? kMissingLevel : levels[at + f]);
        }
      }
      const std::vector<Pattern> sessionPatterns = CountPatterns(sessionLevels, fieldCount);
      if (sessionPatterns.empty()) continue;
      // The non-matches of a rule's pairs are not random pairs: relatives
      // share a postcode, people of one name an e-mail made of it. Held to
      // u, the EM would call them matches; so each session learns its own
      // non-matches, starting from u. The model keeps u of random pairs.
      // Learning both, the EM can creep for thousands of iterations along a
      // ridge where the likelihood hardly changes; a millionth is still.
      EmOptions sessionOptions = options.em;
      sessionOptions.learnU = true;
      sessionOptions.tolerance = std::max(options.em.tolerance, kSessionTolerance);
      const EmResult em = RunEm(sessionPatterns, u, StartingM(fields), StartingPrior(sessionPatterns), sessionOptions);
      converged = converged && em.converged;
      iterations = std::max(iterations, em.iterations);
      sessionMatches[s] = em.prior * static_cast<double>(session.pairs.size());
      for (std::size_t f = 0; f < fieldCount; ++f) {
        if (std::find(session.excludedFields.begin(), session.excludedFields.end(), f) != session.excludedFields.end())
          continue;
        if (!estimated[f] || em.m[f][0] > m[f][0]) m[f] = em.m[f];
        estimated[f] = true;
      }
    }
    // How many pairs match in all. A session whose rule is equality on its
    // fields found its matches among the matches that agree on all of them,
    // a share that m states: its matches over that share estimate them all.
    // Sessions full of relatives overestimate, those of a field often
    // mistyped hardly at all; the median of the estimates stands. Without
    // such a session, the share of matches among the candidates with m and u
    // held stands instead.
    std::vector<double> estimates;
    for (std::size_t s = 0; s < sessions.size(); ++s) {
      if (!sessions[s].equalityRule || sessionMatches[s] < 0 || sessions[s].excludedFields.empty()) continue;
      double captured = 1.0;
      for (const std::size_t f : sessions[s].excludedFields) captured *= m[f][0];
      estimates.push_back(sessionMatches[s] / captured);
    }
    std::sort(estimates.begin(), estimates.end());
    std::uint64_t total = 0;
    for (const Pattern& pattern : patterns) total += pattern.count;
    double matches = 0.0;
    if (!estimates.empty()) {
      const std::size_t middle = estimates.size() / 2;
      matches = estimates.size() % 2 ? estimates[middle] : (estimates[middle - 1] + estimates[middle]) / 2;
    } else {
      double share = StartingPrior(patterns);
      for (int iteration = 0; iteration < options.em.maxIterations && total > 0; ++iteration) {
        double expected = 0.0;
        for (const Pattern& pattern : patterns) {
          double match = share, nonMatch = 1.0 - share;
          for (std::size_t f = 0; f < fieldCount; ++f) {
            const std::uint8_t level = pattern.levels[f];
            if (level == kMissingLevel) continue;
            match *= m[f][level];
            nonMatch *= u[f][level];
          }
          expected += static_cast<double>(pattern.count) * (match + nonMatch > 0 ? match / (match + nonMatch) : 0.0);
        }
        const double updated = expected / static_cast<double>(total);
        const bool settled = std::fabs(updated - share) < options.em.tolerance;
        share = updated;
        if (settled) break;
      }
      matches = share * static_cast<double>(total);
    }
    const double allPairs = AllPairCount(records);
    const double prior = allPairs > 0 ? std::clamp(matches / allPairs, 1e-12, 0.5) : 0.5;
    model = AssembleModel(records, m, u, prior);
    model.training.iterations = iterations;
    model.training.converged = converged;
  }
  model.training.samplePairs = compared.samplePairs;
  model.training.candidatePairs = candidates.size();
  model.training.patterns = patterns.size();
  return model;
}

LinkModel TrainFromLabels(const LinkRecords& records, const std::vector<RecordPair>& candidates,
                          const std::vector<bool>& isMatch, const TrainingOptions& options) {
  if (isMatch.size() != candidates.size()) throw std::invalid_argument("one label is needed per candidate pair");
  const TrainingLevels compared = CompareForTraining(records, candidates, options);
  const LevelTable& u = compared.u;
  const std::vector<std::uint8_t>& levels = compared.levels;
  const std::size_t fields = records.fieldCount();
  LevelTable m(fields);
  std::uint64_t matches = 0;
  for (std::size_t f = 0; f < fields; ++f) m[f].assign(u[f].size(), options.em.pseudoCount);
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!isMatch[i]) continue;
    ++matches;
    for (std::size_t f = 0; f < fields; ++f)
      if (levels[i * fields + f] != kMissingLevel) m[f][levels[i * fields + f]] += 1.0;
  }
  for (std::vector<double>& row : m) {
    double sum = 0.0;
    for (const double value : row) sum += value;
    for (double& value : row) value /= sum;
  }
  // Among all pairs, as u is: the share among the candidates would raise
  // every weight by the rules' own enrichment.
  const double allPairs = AllPairCount(records);
  const double prior = allPairs > 0 ? std::clamp(static_cast<double>(matches) / allPairs, 1e-12, 1.0 - 1e-6) : 1e-6;
  LinkModel model = AssembleModel(records, m, u, prior);
  model.training.samplePairs = compared.samplePairs;
  model.training.candidatePairs = candidates.size();
  model.training.labelledMatches = matches;
  model.training.fromTruth = true;
  model.training.converged = true;
  return model;
}

double LinkModel::PriorWeight() const noexcept { return std::log2(prior / (1.0 - prior)); }

double LinkModel::LevelWeight(std::size_t field, std::uint8_t level) const noexcept {
  if (level == kMissingLevel) return 0.0;
  return std::log2(fields[field].m[level] / fields[field].u[level]);
}

bool WeighsByFrequency(const FieldComparison& field) noexcept {
  return field.termFrequencies && field.kind != FieldKind::Text && field.kind != FieldKind::Date &&
         field.kind != FieldKind::Code;
}

TermCounts CountTerms(const LinkRecords& records) {
  TermCounts counts(records.fieldCount());
  for (std::size_t f = 0; f < records.fieldCount(); ++f) {
    const PreparedField& field = records.field(f);
    if (!WeighsByFrequency(field.comparison())) continue;
    for (std::uint32_t value = 0; value < field.distinctValues(); ++value)
      counts[f][field.key(value)] += field.recordsWith(value);
  }
  return counts;
}

void AddTermCounts(TermCounts& total, const TermCounts& part) {
  if (total.size() < part.size()) total.resize(part.size());
  for (std::size_t f = 0; f < part.size(); ++f)
    for (const auto& [key, count] : part[f]) total[f][key] += count;
}

namespace {

// How many values each field's counts hold in all.
std::vector<std::uint64_t> PresentValues(const TermCounts& counts) {
  std::vector<std::uint64_t> present;
  for (const auto& field : counts) {
    std::uint64_t sum = 0;
    for (const auto& [key, count] : field) sum += count;
    present.push_back(sum);
  }
  return present;
}

}  // namespace

FileTerms TermsOfFile(TermCounts counts) {
  FileTerms terms;
  terms.present = PresentValues(counts);
  terms.counts = std::move(counts);
  return terms;
}

ModelScorer::ModelScorer(const LinkModel& model, const LinkRecords& records, const TermCounts* whole)
    : records_(&records), priorWeight_(model.PriorWeight()) {
  if (whole != nullptr && whole->size() != model.fields.size())
    throw std::invalid_argument("term counts of " + std::to_string(whole->size()) + " fields, not " +
                                std::to_string(model.fields.size()));
  if (whole == nullptr) {
    Weigh(model, nullptr, nullptr, records.recordCount());
  } else {
    const std::vector<std::uint64_t> present = PresentValues(*whole);
    Weigh(model, whole, &present, 0);
  }
}

ModelScorer::ModelScorer(const LinkModel& model, const LinkRecords& records, const FileTerms& file,
                         std::size_t firstOfFile)
    : records_(&records), priorWeight_(model.PriorWeight()) {
  if (file.counts.size() != model.fields.size() || file.present.size() != model.fields.size())
    throw std::invalid_argument("term counts of " + std::to_string(file.counts.size()) + " fields, not " +
                                std::to_string(model.fields.size()));
  Weigh(model, &file.counts, &file.present, firstOfFile);
}

// Each level's weight, and for exact agreement on a field with term
// frequencies each value's: its share among the values of the records, or
// with `file` (its counts and each field's total) among those it counts and
// those of records_[0, outside).
void ModelScorer::Weigh(const LinkModel& model, const TermCounts* file, const std::vector<std::uint64_t>* filePresent,
                        std::size_t outside) {
  const LinkRecords& records = *records_;
  CheckModelFits(model, ComparisonsOf(records));
  for (std::size_t f = 0; f < model.fields.size(); ++f) {
    std::vector<double> row;
    for (std::size_t level = 0; level < model.fields[f].m.size(); ++level)
      row.push_back(model.LevelWeight(f, static_cast<std::uint8_t>(level)));
    weights_.push_back(row);
    std::vector<double> tf;
    const PreparedField& field = records.field(f);
    if (WeighsByFrequency(field.comparison())) {
      // The records outside the file, counted on top of it.
      std::vector<std::uint64_t> own(field.distinctValues(), 0);
      std::uint64_t present = 0;
      const std::size_t counted = file == nullptr ? records.recordCount() : std::min(outside, records.recordCount());
      for (std::size_t record = 0; record < counted; ++record) {
        const std::uint32_t value = field.valueOf(record);
        if (value == PreparedField::kNoValue) continue;
        ++own[value];
        ++present;
      }
      if (file != nullptr) present += (*filePresent)[f];
      std::vector<std::uint64_t> holding = own;
      for (std::uint32_t value = 0; value < field.distinctValues() && file != nullptr; ++value) {
        const auto found = (*file)[f].find(field.key(value));
        const std::uint64_t inFile = found == (*file)[f].end() ? 0 : found->second;
        if (inFile + own[value] < field.recordsWith(value)) {
          // Counts older than the records (a served list changed since):
          // as many as are here, and the total grown by what they lacked.
          // Whole counts never lack any.
          if (outside == 0) {
            throw std::invalid_argument("the term counts of field " + field.comparison().column +
                                        " lack values of the records");
          }
          present += field.recordsWith(value) - inFile - own[value];
          holding[value] = field.recordsWith(value);
        } else {
          holding[value] += inFile;
        }
      }
      for (std::uint32_t value = 0; value < field.distinctValues(); ++value) {
        const double share = static_cast<double>(holding[value]) / static_cast<double>(present);
        tf.push_back(std::log2(model.fields[f].m[0] / share));
      }
    }
    tfWeights_.push_back(std::move(tf));
  }
}

double ModelScorer::FieldWeight(std::size_t field, std::uint8_t level, RecordPair pair) const noexcept {
  if (level == kMissingLevel) return 0.0;
  if (level == 0 && !tfWeights_[field].empty()) return tfWeights_[field][records_->field(field).valueOf(pair.first)];
  return weights_[field][level];
}

double ModelScorer::Weight(const std::uint8_t* levels, RecordPair pair) const noexcept {
  double weight = priorWeight_;
  for (std::size_t f = 0; f < weights_.size(); ++f) weight += FieldWeight(f, levels[f], pair);
  return weight;
}

double ProbabilityOf(double weight) noexcept {
  if (weight > 1000) return 1.0;
  const double odds = std::exp2(weight);
  return odds / (1.0 + odds);
}

void CheckModelFits(const LinkModel& model, const std::vector<FieldComparison>& fields) {
  if (model.fields.size() != fields.size())
    throw std::invalid_argument("the model has " + std::to_string(model.fields.size()) + " fields, the command " +
                                std::to_string(fields.size()));
  for (std::size_t f = 0; f < fields.size(); ++f) {
    const FieldComparison& have = model.fields[f].comparison;
    if (!(have == fields[f]))
      throw std::invalid_argument("the model's field " + std::to_string(f + 1) + " is " + have.Describe() +
                                  ", the command's " + fields[f].Describe());
  }
}

}  // namespace vantel
