#include "Reconciliation.h"

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
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

  // Bound first, every query checked before any is looked up; then those
  // of one limit are looked up together, in one pass over the list.
  json answer = json::object();
  std::map<std::size_t, std::vector<std::pair<std::string, std::u16string>>> byLimit;
  for (const auto& [key, query] : parsed.items()) {
    const std::string where = "'queries'." + key;
    if (!query.is_object()) throw WrongType(where + " must be an object");
    const auto text = query.find("query");
    if (text == query.end() || !text->is_string()) throw WrongType(where + ".query must be a string");
    std::size_t top = defaults.top;
    if (const auto limit = query.find("limit"); limit != query.end()) {
      if (!limit->is_number_unsigned() || limit->get<std::uint64_t>() > defaults.mostTop) {
        throw BadValue(where + ".limit must be a whole number from 0 to " + std::to_string(defaults.mostTop));
      }
      // OpenRefine sends 0 for "no limit of its own".
      if (limit->get<std::uint64_t>() > 0) top = static_cast<std::size_t>(limit->get<std::uint64_t>());
    }
    answer[key] = {{"result", json::array()}};  // a cell that cannot match anything keeps it empty
    try {
      byLimit[top].emplace_back(key, BindQueryText(text->get<std::string>(), where + ".query"));
    } catch (const ApiError&) {
      continue;
    }
  }

  for (const auto& [top, bound] : byLimit) {
    MatchOptions options;
    options.method = defaults.method;
    options.threshold = defaults.threshold;
    options.top = top;
    options.threads = 1;
    std::vector<std::u16string> texts;
    for (const auto& [key, text] : bound) texts.push_back(text);
    const auto found = list.Find(texts, options, deadline);
    for (std::size_t at = 0; at < bound.size(); ++at) {
      json& results = answer[bound[at].first]["result"];
      for (const ScoredPair& pair : found[at]) {
        const LookupRecord& record = list.record(pair.candidate);
        results.push_back({{"id", record.id},
                           {"name", record.text},
                           {"score", pair.answer},
                           {"match", results.empty()},
                           {"type", RecordTypes()}});
      }
    }
  }
  return answer;
}

}  // namespace vantel::server
