#include "Reconciliation.h"

#include <algorithm>
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

struct BoundQuery {
  std::string key;
  std::string text;                           // as sent
  std::u16string query;                       // the same, as the matcher takes it
  std::map<std::string, std::string> values;  // the properties, by column
};

// The properties of a query, [{"pid": COLUMN, "v": VALUE}, ...], as the
// values of the columns they name. OpenRefine sends a cell's value as it
// is, or a reconciled cell as an object with its "name" or "id".
std::map<std::string, std::string> BindProperties(const json& properties, const std::string& where) {
  if (!properties.is_array()) throw WrongType(where + " must be an array");
  std::map<std::string, std::string> values;
  for (std::size_t at = 0; at < properties.size(); ++at) {
    const json& property = properties[at];
    const std::string here = where + "[" + std::to_string(at) + "]";
    const auto pid = property.is_object() ? property.find("pid") : property.end();
    if (!property.is_object() || pid == property.end() || !pid->is_string()) {
      throw WrongType(here + " must be an object with a \"pid\" string");
    }
    auto v = property.find("v");
    // Protocol 0.2 allows several values of a property: the first is taken.
    if (v != property.end() && v->is_array()) v = v->empty() ? property.end() : v->begin();
    if (v == property.end() || v->is_null()) continue;
    std::string value;
    if (v->is_string()) {
      value = v->get<std::string>();
    } else if (v->is_number() || v->is_boolean()) {
      value = v->dump();
    } else if (v->is_object() && v->contains("name") && (*v)["name"].is_string()) {
      value = (*v)["name"].get<std::string>();
    } else if (v->is_object() && v->contains("id") && (*v)["id"].is_string()) {
      value = (*v)["id"].get<std::string>();
    } else {
      throw WrongType(here + ".v must be a string, a number or an object with a \"name\" or \"id\"");
    }
    values[pid->get<std::string>()] = std::move(value);
  }
  return values;
}

}  // namespace

json ReconciliationManifest(std::string_view serviceName, std::size_t batchSize) {
  return {{"versions", {"0.1", "0.2"}},       {"name", serviceName},           {"identifierSpace", "urn:vantel:record"},
          {"schemaSpace", "urn:vantel:type"}, {"defaultTypes", RecordTypes()}, {"batchSize", batchSize}};
}

json Reconcile(const LookupList& list, std::string_view queries, const MatchDefaults& defaults,
               std::chrono::steady_clock::time_point deadline, const RecordModel* model) {
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
  std::map<std::size_t, std::vector<BoundQuery>> byLimit;
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
    BoundQuery bound{key, text->get<std::string>(), {}, {}};
    // Without a model the properties are not read, as before there was one.
    if (const auto properties = query.find("properties"); model && properties != query.end()) {
      bound.values = BindProperties(*properties, where + ".properties");
    }
    answer[key] = {{"result", json::array()}};  // a cell that cannot match anything keeps it empty
    try {
      bound.query = BindQueryText(bound.text, where + ".query");
    } catch (const ApiError&) {
      continue;
    }
    byLimit[top].push_back(std::move(bound));
  }

  for (const auto& [top, bound] : byLimit) {
    MatchOptions options;
    options.method = defaults.method;
    options.threshold = defaults.threshold;
    // With a model, more candidates of the name than are answered, for the model to rank.
    options.top = model ? RecordModel::CandidatesFor(top) : top;
    options.threads = 1;
    std::vector<std::u16string> texts;
    for (const BoundQuery& query : bound) texts.push_back(query.query);
    const auto found = list.Find(texts, options, deadline);
    for (std::size_t at = 0; at < bound.size(); ++at) {
      json& results = answer[bound[at].key]["result"];
      if (!model) {
        for (const ScoredPair& pair : found[at]) {
          const RecordView record = list.record(pair.candidate);
          results.push_back({{"id", record.id},
                             {"name", record.text},
                             {"score", pair.answer},
                             {"match", results.empty()},
                             {"type", RecordTypes()}});
        }
        continue;
      }
      std::vector<std::size_t> candidates;
      for (const ScoredPair& pair : found[at]) candidates.push_back(pair.candidate);
      const std::vector<double> probabilities =
          model->Probabilities(list, bound[at].text, bound[at].values, candidates);
      // The likeliest first; among equals, as the name ranked them.
      std::vector<std::size_t> order(candidates.size());
      for (std::size_t rank = 0; rank < order.size(); ++rank) order[rank] = rank;
      std::stable_sort(order.begin(), order.end(),
                       [&](std::size_t a, std::size_t b) { return probabilities[a] > probabilities[b]; });
      order.resize(std::min(order.size(), top));
      for (const std::size_t rank : order) {
        const RecordView record = list.record(candidates[rank]);
        results.push_back({{"id", record.id},
                           {"name", record.text},
                           {"score", 100.0 * probabilities[rank]},
                           {"match", results.empty() && probabilities[rank] >= RecordModel::kMatchProbability},
                           {"type", RecordTypes()}});
      }
    }
  }
  return answer;
}

}  // namespace vantel::server
