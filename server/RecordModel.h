// Whole records scored with a linkage model, for the reconciliation API: the
// name lookup finds the candidates, and the model weighs each against the
// query's text and the other columns the user bound to it (its properties),
// as `vantel link` weighs a pair of records.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "LookupList.h"
#include "vantel/LinkModel.h"

namespace vantel::server {

class RecordModel {
 public:
  // `stringColumn` names the column whose values are the list's strings.
  // Every field of the model compares that column or one of the list's kept
  // fields; throws std::invalid_argument naming a column that is neither.
  // Fields that weigh by term frequencies take them from `list` as it is
  // now (later changes do not move them).
  RecordModel(LinkModel model, std::string stringColumn, const LookupList& list);

  // How many candidates of the name lookup are weighed for a query that wants `limit`.
  static std::size_t CandidatesFor(std::size_t limit) noexcept { return limit * 4 < 20 ? 20 : limit * 4; }
  // The least probability at which the best candidate is the query's match.
  static constexpr double kMatchProbability = 0.5;

  // For each record of `candidates` (positions in `list`), the probability
  // that it and the query are one: the query's text in the string column,
  // `values` (by column) in the others, missing where not given.
  std::vector<double> Probabilities(const LookupList& list, const std::string& text,
                                    const std::map<std::string, std::string>& values,
                                    const std::vector<std::size_t>& candidates) const;

 private:
  LinkModel model_;
  std::string stringColumn_;
  std::vector<long> sources_;  // per model field: the kept field of the records it reads, or -1 for the string
  bool counted_ = false;       // some field weighs by term frequencies
  FileTerms terms_;            // then the list's

  // The model's fields of `records` (of `list`) after `first`, one column each.
  std::vector<std::vector<std::string_view>> Columns(const LookupList& list, std::string_view firstText,
                                                     const std::map<std::string, std::string>* first,
                                                     const std::vector<std::size_t>& records) const;
};

}  // namespace vantel::server
