// The steps of a linkage run, in the order the command line and the Python
// package take them. Each step is the library's own function; what lives
// here is how the steps are joined: which rule's pairs train which EM, how
// the kept pairs are ordered and cut to the best of each query, and in what
// order the groups are listed.

#include "vantel/LinkPipeline.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace vantel {

RuleTextError::RuleTextError(Part part, std::string given, const std::string& reason)
    : std::invalid_argument(given + ": " + reason), part_(part), given_(std::move(given)), reason_(reason) {}

FieldComparison ParseLinkField(std::string_view given) {
  try {
    return ParseFieldComparison(given);
  } catch (const std::invalid_argument& bad) {
    throw RuleTextError(RuleTextError::Part::Field, std::string(given), bad.what());
  }
}

namespace {

// Whether a block key part is equality on a field as it compares: the
// value itself, or the tail of a code read by that very tail.
bool IsEquality(const KeyPart& part, const std::vector<FieldComparison>& fields) {
  if (part.kind == KeyKind::Value) return true;
  if (part.kind != KeyKind::Last) return false;
  return std::any_of(fields.begin(), fields.end(), [&](const FieldComparison& field) {
    return field.column == part.column && field.kind == FieldKind::Code && field.tail == part.length;
  });
}

}  // namespace

LinkRules LinkRules::Of(std::vector<FieldComparison> fields, const std::vector<std::string>& scans,
                        const std::vector<std::string>& blocks) {
  if (fields.empty()) throw std::invalid_argument("give at least one field");
  LinkRules rules;
  rules.fields = std::move(fields);
  for (const FieldComparison& field : rules.fields) {
    if (!field.hasSwappedLevel()) continue;
    // Its values are read as names of this field: a date or a code would
    // not be one, and the other field's own levels would not say "swapped".
    const bool found = std::any_of(rules.fields.begin(), rules.fields.end(), [&](const FieldComparison& other) {
      return &other != &field && other.column == field.swapWith && other.kind == FieldKind::Name;
    });
    if (!found)
      throw RuleTextError(RuleTextError::Part::Field, field.Describe(),
                          "swap=" + field.swapWith + " is not another name field");
  }
  for (const std::string& given : scans) {
    // A scan on a name or text field compares as that field does.
    std::int16_t method = 2;
    const std::string column = given.substr(0, given.rfind(':'));
    for (const FieldComparison& field : rules.fields)
      if (field.column == column && (field.kind == FieldKind::Name || field.kind == FieldKind::Text))
        method = field.method;
    try {
      rules.rules.push_back(ParseScanRule(given, method));
    } catch (const std::invalid_argument& bad) {
      throw RuleTextError(RuleTextError::Part::Scan, given, bad.what());
    }
  }
  for (const std::string& given : blocks) {
    try {
      rules.rules.push_back(ParseBlockRule(given));
    } catch (const std::invalid_argument& bad) {
      throw RuleTextError(RuleTextError::Part::Block, given, bad.what());
    }
  }
  if (rules.rules.empty()) rules.rules = DefaultRules(rules.fields);
  return rules;
}

std::vector<std::string> LinkRules::columns() const {
  std::vector<std::string> names;
  const auto add = [&](const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  };
  for (const FieldComparison& field : fields) add(field.column);
  for (const CandidateRule& rule : rules)
    for (const std::string& column : rule.columns()) add(column);
  return names;
}

const std::vector<double>& EvaluationThresholds() {
  static const std::vector<double> thresholds = {0.5, 0.8, 0.9, 0.95, 0.99, 0.999};
  return thresholds;
}

std::vector<std::uint64_t> EntitiesOf(const std::vector<std::string_view>& truth) {
  std::unordered_map<std::string_view, std::uint64_t> numbers;
  const std::size_t count = truth.size();
  std::vector<std::uint64_t> entity(count);
  // Numbers past every value's, so that an empty value is nobody else's entity.
  for (std::size_t record = 0; record < count; ++record)
    entity[record] = truth[record].empty() ? numbers.size() + count + record
                                           : numbers.try_emplace(truth[record], numbers.size()).first->second;
  return entity;
}

LinkPipeline::LinkPipeline(LinkRules rules, RuleColumns values, std::size_t firstCount)
    : rules_(std::move(rules)), values_(std::move(values)), span_{0, 0} {
  const std::vector<std::string> names = rules_.columns();
  std::size_t count = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto found = values_.find(names[i]);
    if (found == values_.end()) throw std::invalid_argument("no values given for column '" + names[i] + "'");
    if (i == 0) count = found->second.size();
    if (found->second.size() != count)
      throw std::invalid_argument("column '" + names[i] + "' has " + std::to_string(found->second.size()) +
                                  " values, not " + std::to_string(count));
  }
  if (firstCount > count)
    throw std::invalid_argument("the first file has " + std::to_string(firstCount) + " records of " +
                                std::to_string(count));
  span_ = {count, firstCount};
}

const std::vector<std::string_view>& LinkPipeline::values(std::size_t field) const {
  return values_.find(rules_.fields.at(field).column)->second;
}

std::vector<std::uint64_t> LinkPipeline::Plan(unsigned threads) const {
  std::vector<std::uint64_t> counts;
  for (const CandidateRule& rule : rules_.rules)
    counts.push_back(rule.kind == CandidateRule::Kind::Block ? BlockPairCount(rule, values_, span_)
                                                             : RulePairs(rule, values_, span_, threads).size());
  return counts;
}

LinkRecords LinkPipeline::Prepare(const std::vector<FirstTexts>* whole) const {
  std::vector<std::vector<std::string_view>> columns;
  for (std::size_t f = 0; f < rules_.fields.size(); ++f) columns.push_back(values(f));
  if (whole != nullptr && whole->size() != rules_.fields.size())
    throw std::invalid_argument("first texts of " + std::to_string(whole->size()) + " fields, not " +
                                std::to_string(rules_.fields.size()));
  return LinkRecords(rules_.fields, columns, span_.firstCount, whole);
}

std::vector<FirstTexts> LinkPipeline::FirstTextsOf(const LinkRecords& records,
                                                   std::vector<FirstTexts>* swapTexts) const {
  std::vector<FirstTexts> texts(records.fieldCount());
  if (swapTexts != nullptr) swapTexts->assign(records.fieldCount(), {});
  for (std::size_t f = 0; f < records.fieldCount(); ++f) {
    const PreparedField& field = records.field(f);
    const FieldKind kind = field.comparison().kind;
    if (kind != FieldKind::Name && kind != FieldKind::Text) continue;
    for (std::uint32_t value = 0; value < field.distinctValues(); ++value)
      texts[f].emplace(field.key(value), field.textOf(value));
    if (swapTexts == nullptr) continue;
    for (auto value = static_cast<std::uint32_t>(field.distinctValues()); value < field.comparedValues(); ++value)
      (*swapTexts)[f].emplace(field.key(value), field.textOf(value));
  }
  return texts;
}

std::vector<FirstTexts> MergeFirstTexts(const std::vector<std::vector<FirstTexts>>& own,
                                        const std::vector<std::vector<FirstTexts>>& swap) {
  std::vector<FirstTexts> whole;
  for (const std::vector<std::vector<FirstTexts>>* kind : {&own, &swap})
    for (const std::vector<FirstTexts>& part : *kind) {
      if (whole.size() < part.size()) whole.resize(part.size());
      for (std::size_t f = 0; f < part.size(); ++f)
        for (const auto& [key, text] : part[f]) whole[f].emplace(key, text);
    }
  return whole;
}

LinkCandidates LinkPipeline::FindCandidates(unsigned threads, bool byRule) const {
  LinkCandidates found;
  found.pairs = CandidatePairs(rules_.rules, values_, span_, threads, &found.perRule, byRule ? &found.byRule : nullptr);
  return found;
}

LinkCandidates LinkPipeline::FindShare(CandidateShare share, unsigned threads) const {
  LinkCandidates found;
  found.pairs = SharePairs(rules_.rules, share, values_, span_, threads);
  return found;
}

LinkModel LinkPipeline::Train(const LinkRecords& records, LinkCandidates& candidates,
                              const TrainingOptions& options) const {
  if (candidates.byRule.size() != rules_.rules.size())
    throw std::invalid_argument("training needs the pairs of each rule (FindCandidates with byRule)");
  std::vector<TrainingSession> sessions;
  for (std::size_t r = 0; r < rules_.rules.size(); ++r) {
    const CandidateRule& rule = rules_.rules[r];
    TrainingSession session{std::move(candidates.byRule[r]), {}, rule.kind == CandidateRule::Kind::Block};
    for (const KeyPart& part : rule.parts)
      session.equalityRule = session.equalityRule && IsEquality(part, rules_.fields);
    const std::vector<std::string> used = rule.columns();
    for (std::size_t f = 0; f < rules_.fields.size(); ++f)
      if (std::find(used.begin(), used.end(), rules_.fields[f].column) != used.end())
        session.excludedFields.push_back(f);
    sessions.push_back(std::move(session));
  }
  candidates.byRule.clear();
  return vantel::Train(records, candidates.pairs, options, sessions);
}

LinkModel LinkPipeline::TrainFromTruth(const LinkRecords& records, const std::vector<RecordPair>& candidates,
                                       const std::vector<std::uint64_t>& entity, const TrainingOptions& options) const {
  if (entity.size() != span_.recordCount)
    throw std::invalid_argument("the truth has " + std::to_string(entity.size()) + " records, not " +
                                std::to_string(span_.recordCount));
  std::vector<bool> isMatch;
  isMatch.reserve(candidates.size());
  for (const RecordPair& pair : candidates) isMatch.push_back(entity[pair.first] == entity[pair.second]);
  return TrainFromLabels(records, candidates, isMatch, options);
}

std::vector<LinkedPair> LinkPipeline::Keep(const LinkModel& model, const LinkRecords& records,
                                           const std::vector<RecordPair>& candidates, double threshold, std::size_t top,
                                           unsigned threads, const TermCounts* whole,
                                           const PairProgress& progress) const {
  std::vector<LinkedPair> kept = ScorePairs(model, records, candidates, threshold, threads, whole, progress);
  std::stable_sort(kept.begin(), kept.end(), [](const LinkedPair& a, const LinkedPair& b) {
    if (a.pair.first != b.pair.first) return a.pair.first < b.pair.first;
    if (a.weight != b.weight) return a.weight > b.weight;
    return a.pair.second < b.pair.second;
  });
  if (top == 0) return kept;
  std::vector<LinkedPair> best;
  std::size_t taken = 0;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    taken = i > 0 && kept[i].pair.first == kept[i - 1].pair.first ? taken + 1 : 0;
    if (taken < top) best.push_back(kept[i]);
  }
  return best;
}

std::vector<FieldExplanation> LinkPipeline::Explain(const LinkModel& model, const LinkRecords& records,
                                                    const std::vector<LinkedPair>& pairs,
                                                    const TermCounts* whole) const {
  const ModelScorer scorer(model, records, whole);
  FieldComparer comparer;
  std::vector<FieldExplanation> explained;
  explained.reserve(pairs.size() * records.fieldCount());
  for (const LinkedPair& linked : pairs)
    for (std::size_t f = 0; f < records.fieldCount(); ++f) {
      const std::uint8_t level = comparer.Level(records.field(f), linked.pair.first, linked.pair.second);
      explained.push_back({level, scorer.FieldWeight(f, level, linked.pair)});
    }
  return explained;
}

std::vector<GroupRow> LinkPipeline::Groups(const std::vector<LinkedPair>& kept, bool all) const {
  return GroupRows(kept, span_, all);
}

std::vector<GroupRow> GroupRows(const std::vector<LinkedPair>& kept, RecordSpan span, bool all) {
  const std::size_t recordCount = span.recordCount;
  const LinkGroups groups = GroupPairs(kept, span);
  std::vector<std::vector<std::size_t>> members(groups.sizes.size());
  for (std::size_t record = 0; record < recordCount; ++record)
    if (groups.groupOf[record]) members[groups.groupOf[record] - 1].push_back(record);
  std::vector<GroupRow> rows;
  std::size_t number = 0;
  std::vector<std::uint8_t> listed(groups.sizes.size(), 0);
  for (std::size_t record = 0; record < recordCount; ++record) {
    const std::size_t group = groups.groupOf[record];
    if (group == 0) {
      if (all) rows.push_back({++number, record, 1, 1.0});
      continue;
    }
    if (listed[group - 1]) continue;
    listed[group - 1] = 1;
    ++number;
    for (const std::size_t member : members[group - 1])
      rows.push_back({number, member, groups.sizes[group - 1], groups.density[group - 1]});
  }
  return rows;
}

LinkEvaluation LinkPipeline::Evaluate(const LinkModel& model, const LinkRecords& records,
                                      const std::vector<RecordPair>& candidates,
                                      const std::vector<std::uint64_t>& entity, const std::vector<double>& thresholds,
                                      unsigned threads, const PairProgress& progress) const {
  if (entity.size() != span_.recordCount)
    throw std::invalid_argument("the truth has " + std::to_string(entity.size()) + " records, not " +
                                std::to_string(span_.recordCount));
  LinkEvaluation evaluation;
  evaluation.candidatePairs = candidates.size();
  evaluation.candidates = PairQuality(candidates, entity, span_);
  // Only the pairs that reach the lowest threshold are held: of millions of
  // candidates most are far below every one.
  const double lowest = thresholds.empty() ? 1.0 : *std::min_element(thresholds.begin(), thresholds.end());
  const std::vector<LinkedPair> scored = ScorePairs(model, records, candidates, lowest, threads, nullptr, progress);
  for (const double threshold : thresholds) {
    std::vector<LinkedPair> above;
    std::vector<RecordPair> pairs;
    for (const LinkedPair& linked : scored)
      if (linked.probability >= threshold) {
        above.push_back(linked);
        pairs.push_back(linked.pair);
      }
    ThresholdQuality row{threshold, PairQuality(pairs, entity, span_), {}};
    row.groups = GroupQuality(GroupPairs(above, span_), entity, span_);
    evaluation.thresholds.push_back(row);
  }
  return evaluation;
}

}  // namespace vantel
