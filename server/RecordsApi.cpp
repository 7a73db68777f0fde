#include "RecordsApi.h"

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "ApiError.h"

namespace vantel::server {
namespace {

using json = nlohmann::ordered_json;

LookupRecord BindRecord(const json& given, const std::string& where, const LookupList& list) {
  if (!given.is_object()) throw WrongType(where + " must be an object");
  LookupRecord record;
  record.fields.resize(list.fieldNames().size());
  bool haveString = false, haveId = false;
  for (const auto& [name, value] : given.items()) {
    if (name == "string") {
      if (!value.is_string()) throw WrongType(where + ".string must be a string");
      record.text = value.get<std::string>();
      BindQueryText(record.text, where + ".string");
      haveString = true;
    } else if (name == "id") {
      if (list.numberedIds()) {
        throw BadValue(where + ".id: the records are numbered by the server; give no id");
      }
      if (!value.is_string() || value.get<std::string>().empty()) {
        throw WrongType(where + ".id must be a string that is not empty");
      }
      record.id = value.get<std::string>();
      haveId = true;
    } else if (name == "fields") {
      if (!value.is_object()) throw WrongType(where + ".fields must be an object of strings");
      for (const auto& [field, text] : value.items()) {
        const auto& names = list.fieldNames();
        const auto found = std::find(names.begin(), names.end(), field);
        if (found == names.end()) {
          throw BadValue(std::string(where).append(".fields: the list keeps no field '").append(field).append("'"));
        }
        if (!text.is_string())
          throw WrongType(std::string(where).append(".fields.").append(field).append(" must be a string"));
        record.fields[static_cast<std::size_t>(found - names.begin())] = text.get<std::string>();
      }
    } else {
      throw BadValue(std::string(where)
                         .append(": unknown field '")
                         .append(name)
                         .append("' (the fields are string, id and fields)"));
    }
  }
  if (!haveString) throw BadValue(where + " has no 'string'");
  if (!list.numberedIds() && !haveId) throw BadValue(where + " has no 'id'");
  return record;
}

}  // namespace

std::vector<LookupRecord> BindNewRecords(std::string_view body, const LookupList& list, const MatchDefaults& limits) {
  json parsed;
  try {
    parsed = json::parse(body);
  } catch (const json::parse_error& bad) {
    throw BadValue(std::string("the body is not JSON: ") + bad.what());
  }
  if (!parsed.is_object() || parsed.size() != 1 || !parsed.contains("records")) {
    throw BadValue("the body must be {\"records\": [...]}");
  }
  const json& given = parsed["records"];
  if (!given.is_array()) throw WrongType("'records' must be an array of records");
  if (given.empty() || given.size() > limits.mostQueries) {
    throw BadValue("'records' must hold 1 to " + std::to_string(limits.mostQueries) + " records, not " +
                   std::to_string(given.size()));
  }
  std::vector<LookupRecord> records;
  std::set<std::string, std::less<>> ids;
  std::uint64_t next = list.NextNumber();
  for (std::size_t at = 0; at < given.size(); ++at) {
    LookupRecord record = BindRecord(given[at], "'records'[" + std::to_string(at) + "]", list);
    if (list.numberedIds()) {
      record.id = std::to_string(next++);
    } else if (list.Holds(record.id) || !ids.insert(record.id).second) {
      throw ApiError(409, error::kInvalidProcedureCall, "the id '" + record.id + "' is held already");
    }
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace vantel::server
