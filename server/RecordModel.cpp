#include "RecordModel.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace vantel::server {

RecordModel::RecordModel(LinkModel model, std::string stringColumn, const LookupList& list)
    : model_(std::move(model)), stringColumn_(std::move(stringColumn)) {
  const std::vector<std::string>& fieldNames = list.fieldNames();
  std::vector<FieldComparison> fields;
  for (const FieldModel& field : model_.fields) {
    fields.push_back(field.comparison);
    counted_ = counted_ || WeighsByFrequency(field.comparison);
    const std::string& column = field.comparison.column;
    if (column == stringColumn_) {
      sources_.push_back(-1);
      continue;
    }
    const auto kept = std::find(fieldNames.begin(), fieldNames.end(), column);
    if (kept == fieldNames.end()) {
      throw std::invalid_argument("the model compares column " + column + ", which the list does not hold");
    }
    sources_.push_back(kept - fieldNames.begin());
  }
  if (counted_) {
    std::vector<std::size_t> all(list.size());
    for (std::size_t at = 0; at < all.size(); ++at) all[at] = at;
    terms_ = TermsOfFile(CountTerms(LinkRecords(fields, Columns(list, {}, nullptr, all), 0)));
  }
}

std::vector<std::vector<std::string_view>> RecordModel::Columns(const LookupList& list, std::string_view firstText,
                                                                const std::map<std::string, std::string>* first,
                                                                const std::vector<std::size_t>& records) const {
  std::vector<std::vector<std::string_view>> columns(model_.fields.size());
  for (std::size_t f = 0; f < model_.fields.size(); ++f) {
    if (first != nullptr) {
      const auto given = first->find(model_.fields[f].comparison.column);
      columns[f].push_back(sources_[f] < 0         ? firstText
                           : given == first->end() ? std::string_view()
                                                   : std::string_view(given->second));
    }
    for (const std::size_t at : records) {
      const RecordView record = list.record(at);
      columns[f].push_back(sources_[f] < 0 ? record.text : record.field(static_cast<std::size_t>(sources_[f])));
    }
  }
  return columns;
}

std::vector<double> RecordModel::Probabilities(const LookupList& list, const std::string& text,
                                               const std::map<std::string, std::string>& values,
                                               const std::vector<std::size_t>& candidates) const {
  if (candidates.empty()) return {};
  // The query as the first file of a link, the candidates as the second.
  std::vector<FieldComparison> fields;
  for (const FieldModel& field : model_.fields) fields.push_back(field.comparison);
  const LinkRecords records(fields, Columns(list, text, &values, candidates), 1);
  std::vector<RecordPair> pairs;
  for (std::size_t at = 0; at < candidates.size(); ++at) pairs.push_back({0, static_cast<std::uint32_t>(at + 1)});
  const std::vector<std::uint8_t> levels = ComparisonLevels(records, pairs, 1);
  // Term frequencies as a link of the query with the whole list counts them.
  const ModelScorer scorer = counted_ ? ModelScorer(model_, records, terms_, 1) : ModelScorer(model_, records);
  std::vector<double> probabilities;
  for (std::size_t at = 0; at < pairs.size(); ++at) {
    probabilities.push_back(ProbabilityOf(scorer.Weight(levels.data() + at * fields.size(), pairs[at])));
  }
  return probabilities;
}

}  // namespace vantel::server
