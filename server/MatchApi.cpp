#include "MatchApi.h"

#include <limits>
#include <nlohmann/json.hpp>

#include "ApiError.h"
#include "vantel/CompareUS.h"
#include "vantel/Errors.h"
#include "vantel/MatchRequest.h"
#include "vantel/Utf8.h"

namespace vantel::server {
namespace {

using json = nlohmann::ordered_json;

std::string Quoted(std::string_view name) { return "'" + std::string(name) + "'"; }

// The ranges are the library's (vantel/MatchRequest.h); here a JSON value
// becomes a number and a refusal names the field.
std::int16_t BindMethod(const json& value) {
  if (!value.is_number_integer()) throw WrongType("'method' must be a whole number");
  // Past what an int64 holds is past 16 bits too.
  const std::int64_t number = value.is_number_unsigned() && value.get<std::uint64_t>() > INT64_MAX
                                  ? std::numeric_limits<std::int64_t>::max()
                                  : value.get<std::int64_t>();
  try {
    return CheckedMethod(number);
  } catch (const RuntimeError& refused) {
    throw ApiError(400, refused.number(), "'method' must be a whole number from -32768 to 32767");
  }
}

double BindThreshold(const json& value) {
  if (!value.is_number()) throw WrongType("'threshold' must be a number");
  try {
    return CheckedThreshold(value.get<double>());
  } catch (const InvalidOption& refused) {
    throw BadValue("'threshold' must be " + refused.requirement());
  }
}

std::size_t BindTop(const json& value, std::size_t most) {
  const std::string range = "a whole number from 1 to " + std::to_string(most);
  if (!value.is_number_integer()) throw WrongType("'top' must be " + range);
  if (!value.is_number_unsigned() || value.get<std::uint64_t>() < 1 || value.get<std::uint64_t>() > most) {
    throw BadValue("'top' must be " + range);
  }
  return static_cast<std::size_t>(value.get<std::uint64_t>());
}

}  // namespace

json IdJson(const LookupList& list, std::string_view id) {
  if (list.numberedIds()) return std::stoull(std::string(id));
  return id;
}

std::u16string BindQueryText(const std::string& text, std::string_view where) {
  std::u16string query;
  try {
    query = Utf8ToUtf16(text);
  } catch (const InvalidUtf8& bad) {
    throw BadValue(std::string(where) + " is not valid UTF-8 (byte " + std::to_string(bad.offset() + 1) + ")");
  }
  if (query.empty()) throw BadValue(std::string(where) + " is an empty string");
  if (query.size() > CompareUS::kMaxLength) {
    throw BadValue(std::string(where) + " is longer than " + std::to_string(CompareUS::kMaxLength) +
                   " UTF-16 code units (" + std::to_string(query.size()) + ")");
  }
  return query;
}

MatchRequest BindMatchRequest(std::string_view body, const MatchDefaults& defaults) {
  json parsed;
  try {
    parsed = json::parse(body);
  } catch (const json::parse_error& bad) {
    throw BadValue(std::string("the body is not JSON: ") + bad.what());
  }
  if (!parsed.is_object()) throw WrongType("the body must be a JSON object");

  MatchRequest request;
  request.options.method = defaults.method;
  request.options.threshold = defaults.threshold;
  request.options.top = defaults.top;
  request.options.threads = 1;  // the server's own threads serve requests side by side
  bool haveQuery = false;
  for (const auto& [name, value] : parsed.items()) {
    if (name == "query") {
      if (!value.is_string()) throw WrongType("'query' must be a string");
      request.texts.push_back(value.get<std::string>());
      haveQuery = true;
    } else if (name == "queries") {
      if (!value.is_array()) throw WrongType("'queries' must be an array of strings");
      if (value.empty() || value.size() > defaults.mostQueries) {
        throw BadValue("'queries' must hold 1 to " + std::to_string(defaults.mostQueries) + " strings, not " +
                       std::to_string(value.size()));
      }
      for (std::size_t at = 0; at < value.size(); ++at) {
        if (!value[at].is_string()) throw WrongType("'queries'[" + std::to_string(at) + "] must be a string");
        request.texts.push_back(value[at].get<std::string>());
      }
      request.batch = true;
    } else if (name == "method") {
      request.options.method = BindMethod(value);
    } else if (name == "threshold") {
      request.options.threshold = BindThreshold(value);
    } else if (name == "top") {
      request.options.top = BindTop(value, defaults.mostTop);
    } else if (name == "explain") {
      if (!value.is_boolean()) throw WrongType("'explain' must be true or false");
      request.explain = value.get<bool>();
    } else {
      throw BadValue("unknown field " + Quoted(name) +
                     " (the fields are query, queries, top, threshold, method and explain)");
    }
  }
  if (haveQuery && request.batch) throw BadValue("give 'query' or 'queries', not both");
  if (!haveQuery && !request.batch) throw BadValue("the body has no 'query' (or 'queries')");
  for (std::size_t at = 0; at < request.texts.size(); ++at) {
    const std::string where = request.batch ? "'queries'[" + std::to_string(at) + "]" : std::string("'query'");
    request.queries.push_back(BindQueryText(request.texts[at], where));
  }
  return request;
}

json CandidateJson(const LookupList& list, const ScoredPair& pair) {
  const RecordView record = list.record(pair.candidate);
  json candidate = {{"id", IdJson(list, record.id)}, {"string", record.text}, {"answer", pair.answer}};
  if (!list.fieldNames().empty()) {
    json fields = json::object();
    for (std::size_t at = 0; at < list.fieldNames().size(); ++at) fields[list.fieldNames()[at]] = record.field(at);
    candidate["fields"] = std::move(fields);
  }
  return candidate;
}

json AnswerMatch(const LookupList& list, const MatchRequest& request, std::chrono::steady_clock::time_point deadline) {
  const std::vector<std::vector<ScoredPair>> found = list.Find(request.queries, request.options, deadline);
  std::optional<CompareUS> explainer;
  if (request.explain) explainer.emplace();
  json results = json::array();
  for (std::size_t at = 0; at < found.size(); ++at) {
    json candidates = json::array();
    for (const ScoredPair& pair : found[at]) {
      json candidate = CandidateJson(list, pair);
      if (explainer) {
        const std::u16string& query = request.queries[at];
        const std::u16string other = list.string(pair.candidate);
        candidate["sound"] = explainer->Compare(query, other, 3);
        candidate["spelling"] = explainer->Compare(query, other, 99);
        candidate["query_phonetic"] = Utf16ToUtf8(explainer->PhoneticForm(query));
        candidate["candidate_phonetic"] = Utf16ToUtf8(explainer->PhoneticForm(other));
      }
      candidates.push_back(std::move(candidate));
    }
    results.push_back({{"query", request.texts[at]}, {"candidates", std::move(candidates)}});
  }
  if (request.batch) return {{"results", std::move(results)}};
  return std::move(results[0]);
}

}  // namespace vantel::server
