// The reconciliation protocol (version 0.2) as OpenRefine speaks it: the
// service's manifest, and batches of queries keyed "q0", "q1", ... answered
// with candidates keyed the same. A candidate's score is its answer, and the
// best candidate of a query is its match: what `vantel match --top 1` keeps;
// with a linkage model, the model's probability for the whole record.
#pragma once

#include <chrono>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "LookupList.h"
#include "MatchApi.h"
#include "RecordModel.h"

namespace vantel::server {

// The one type of entity that the service holds.
inline constexpr std::string_view kRecordType = "record";

nlohmann::ordered_json ReconciliationManifest(std::string_view serviceName, std::size_t batchSize);

// `queries` is the text of the form field: a JSON object of queries, each
// with a "query" string and perhaps a "limit" (at most defaults.mostTop)
// and "properties" ([{"pid": COLUMN, "v": VALUE}, ...]); "type" and
// "type_strict" are accepted and not used. A query whose text the matcher
// cannot take (empty, too long) has no candidates. Without a model the
// properties are not used. With one, the name lookup's best candidates
// (RecordModel::CandidatesFor the limit) are ranked by the probability the
// model gives each record and the query with its properties; the score is
// that probability in percent, and the best is a match when it reaches
// RecordModel::kMatchProbability. Throws ApiError (400) saying what is
// wrong with the batch.
nlohmann::ordered_json Reconcile(const LookupList& list, std::string_view queries, const MatchDefaults& defaults,
                                 std::chrono::steady_clock::time_point deadline, const RecordModel* model = nullptr);

}  // namespace vantel::server
