#include "Reconciliation.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ApiError.h"

namespace vantel::server {
namespace {

using json = nlohmann::ordered_json;

json RecordTypes() { return json::array({{{"id", kRecordType}, {"name", "Record"}}}); }

}  // namespace

json ReconciliationManifest(std::string_view serviceName, std::size_t batchSize) {
  return {{"versions", {"0.1", "0.2"}},       {"name", serviceName},           {"identifierSpace", "urn:vantel:record"},
          {"schemaSpace", "urn:vantel:type"}, {"defaultTypes", RecordTypes()}, {"batchSize", batchSize}};
}

json Reconcile(const LookupList& list, std::string_view queries, const MatchDefaults& defaults,
               std::chrono::steady_clock::time_point deadline) {
  json parsed;
  try {
    parsed = json::parse(queries);
  } catch (const json::parse_error& bad) {
    throw BadValue(std::string("'queries' is not JSON: ") + bad.what());
  }
  if (!parsed.is_object()) throw WrongType("'queries' must be a JSON object of queries");
  if (parsed.size() > defaults.mostQueries) {
    throw BadValue("'queries' holds " + std::to_string(parsed.size()) + " queries; the most is " +
                   std::to_string(defaults.mostQueries));
  }

  json answer = json::object();
  for (const auto& [key, query] : parsed.items()) {
    const std::string where = "'queries'." + key;
    if (!query.is_object()) throw WrongType(where + " must be an object");
    const auto text = query.find("query");
    if (text == query.end() || !text->is_string()) throw WrongType(where + ".query must be a string");
    MatchOptions options;
    options.method = defaults.method;
    options.threshold = defaults.threshold;
    options.top = defaults.top;
    options.threads = 1;
    if (const auto limit = query.find("limit"); limit != query.end()) {
      if (!limit->is_number_unsigned() || limit->get<std::uint64_t>() > defaults.mostTop) {
        throw BadValue(where + ".limit must be a whole number from 0 to " + std::to_string(defaults.mostTop));
      }
      // OpenRefine sends 0 for "no limit of its own".
      if (limit->get<std::uint64_t>() > 0) options.top = static_cast<std::size_t>(limit->get<std::uint64_t>());
    }
    json results = json::array();
    std::u16string bound;
    try {
      bound = BindQueryText(text->get<std::string>(), where + ".query");
    } catch (const ApiError&) {
      answer[key] = {{"result", std::move(results)}};  // a cell that cannot match anything
      continue;
    }
    const auto found = list.Find({bound}, options, deadline);
    for (const ScoredPair& pair : found[0]) {
      const LookupRecord& record = list.record(pair.candidate);
      results.push_back({{"id", record.id},
                         {"name", record.text},
                         {"score", pair.answer},
                         {"match", results.empty()},
                         {"type", RecordTypes()}});
    }
    answer[key] = {{"result", std::move(results)}};
  }
  return answer;
}

}  // namespace vantel::server
