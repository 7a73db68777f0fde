// POST /v1/match: a request's body is bound once, every field checked and
// the defaults of the command line filled in, into a MatchRequest that the
// lookup trusts; the answer lists each query's candidates as `vantel match
// --top` writes them.
//
//   {"query": "Jon Smith", "top": 3, "threshold": 75, "method": 2, "explain": true}
//   {"queries": ["Jon Smith", "Ann Lee"], ...}
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "LookupList.h"
#include "vantel/Match.h"

namespace vantel::server {

// What a request may leave out, and how far it may go.
struct MatchDefaults {
  std::int16_t method = 0;
  double threshold = 80.0;
  std::size_t top = 10;
  std::size_t mostTop = 1000;     // the largest `top` a request may ask
  std::size_t mostQueries = 100;  // the most queries in one request
};

struct MatchRequest {
  std::vector<std::string> texts;       // the queries as sent
  std::vector<std::u16string> queries;  // the same in UTF-16, each 1 to 70 units
  bool batch = false;                   // sent as "queries": answered as a list
  MatchOptions options;
  bool explain = false;
};

// A query's text as the matcher takes it; ApiError (400) naming `where` when
// it is empty or longer than 70 UTF-16 code units.
std::u16string BindQueryText(const std::string& text, std::string_view where);

// Throws ApiError (400) saying what is wrong: the body is not JSON, not an
// object, has a field this API does not know, a field of the wrong type or
// a value out of range.
MatchRequest BindMatchRequest(std::string_view body, const MatchDefaults& defaults);

// A record's id as the API writes it: a number when the ids are row numbers.
nlohmann::ordered_json IdJson(const LookupList& list, std::string_view id);

// A candidate as the API writes it: id, string, answer, the kept fields.
nlohmann::ordered_json CandidateJson(const LookupList& list, const ScoredPair& pair);

// The answer's body. Past `deadline` it throws LookupTimedOut.
nlohmann::ordered_json AnswerMatch(const LookupList& list, const MatchRequest& request,
                                   std::chrono::steady_clock::time_point deadline);

}  // namespace vantel::server
