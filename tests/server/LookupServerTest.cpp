#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/ServerFixture.h"
#include "vantel/CompareUS.h"
#include "vantel/Match.h"

namespace vantel::server::testing {
namespace {

using nlohmann::json;

struct Lookup {
  std::string query;
  std::int16_t method;
  double threshold;
  std::size_t top;
};

const Lookup kLookups[] = {
    {"Jon Smith", 0, 80, 3},      {"Jon Smith", 2, 60, 10},     {"Catherine Jonson", 1, 50, 5}, {"Ann Lee", 0, 80, 10},
    {"Ann Lee", 3, 0, 1},         {"Zoe Andersen", 99, 70, 4},  {"O'Neil", 2, 30, 6},           {"smith", 0, 60, 20},
    {"Xavier Quayle", 0, 95, 10}, {"Harriet Knight", 7, 75, 2}, {"Stephen", -4, 40, 8},         {"Shaun", 2, 0, 1000},
};

// What the library's matcher gives for one query against the list.
std::vector<ScoredPair> Expected(const LookupList& list, const Lookup& lookup) {
  std::vector<std::u16string> strings;
  for (std::size_t at = 0; at < list.size(); ++at) strings.push_back(list.string(at));
  MatchOptions options;
  options.method = lookup.method;
  options.threshold = lookup.threshold;
  options.top = lookup.top;
  return Matcher({Utf8ToUtf16(lookup.query)}, strings, options).Run();
}

json Request(const Lookup& lookup) {
  return {{"query", lookup.query}, {"method", lookup.method}, {"threshold", lookup.threshold}, {"top", lookup.top}};
}

void ExpectCandidates(const LookupList& list, const json& candidates, const std::vector<ScoredPair>& expected,
                      const std::string& query) {
  ASSERT_TRUE(candidates.is_array()) << query;
  ASSERT_EQ(candidates.size(), expected.size()) << query;
  for (std::size_t at = 0; at < expected.size(); ++at) {
    const RecordView record = list.record(expected[at].candidate);
    const json& candidate = candidates[at];
    EXPECT_EQ(candidate["id"], std::stoull(std::string(record.id))) << query << " #" << at;
    EXPECT_EQ(candidate["string"], record.text) << query << " #" << at;
    EXPECT_EQ(candidate["answer"].get<double>(), expected[at].answer) << query << " #" << at;
    EXPECT_EQ(candidate["fields"], json({{"city", record.field(0)}})) << query << " #" << at;
  }
}

TEST_F(ServerTest, EachLookupIsTheMatchersAnswer) {
  Start();
  std::size_t found = 0;
  for (const Lookup& lookup : kLookups) {
    const std::vector<ScoredPair> expected = Expected(*list_, lookup);
    found += expected.size();
    const json answer = Answer(PostJson("/v1/match", Request(lookup).dump()));
    EXPECT_EQ(answer["query"], lookup.query);
    ExpectCandidates(*list_, answer["candidates"], expected, lookup.query);
  }
  EXPECT_GT(found, 40u);  // the table finds candidates, not only empty lists
}

TEST_F(ServerTest, ABatchAnswersEachQueryAsAlone) {
  Start();
  json queries = json::array();
  for (const Lookup& lookup : kLookups) queries.push_back(lookup.query);
  const json answer =
      Answer(PostJson("/v1/match", json({{"queries", queries}, {"top", 4}, {"method", 2}, {"threshold", 55}}).dump()));
  ASSERT_EQ(answer["results"].size(), std::size(kLookups));
  for (std::size_t at = 0; at < std::size(kLookups); ++at) {
    const Lookup alone{kLookups[at].query, 2, 55, 4};
    EXPECT_EQ(answer["results"][at]["query"], alone.query);
    ExpectCandidates(*list_, answer["results"][at]["candidates"], Expected(*list_, alone), alone.query);
  }
}

TEST_F(ServerTest, TheCommandLinesDefaultsFillWhatARequestLeavesOut) {
  ServerSettings settings;
  settings.defaults.method = 2;
  settings.defaults.threshold = 45;
  settings.defaults.top = 2;
  Start(settings);
  const json answer = Answer(PostJson("/v1/match", R"({"query": "Jon Smith"})"));
  ExpectCandidates(*list_, answer["candidates"], Expected(*list_, {"Jon Smith", 2, 45, 2}), "Jon Smith");
}

TEST_F(ServerTest, ExplainAddsBothMeasuresAndBothForms) {
  Start();
  const json answer =
      Answer(PostJson("/v1/match", R"({"query": "Kathryn Johnson", "top": 3, "threshold": 50, "explain": true})"));
  ASSERT_EQ(answer["candidates"].size(), 3u);
  CompareUS comparer;
  const std::u16string query = u"Kathryn Johnson";
  for (const json& candidate : answer["candidates"]) {
    const std::u16string other = Utf8ToUtf16(candidate["string"].get<std::string>());
    EXPECT_EQ(candidate["sound"].get<double>(), comparer.Compare(query, other, 3));
    EXPECT_EQ(candidate["spelling"].get<double>(), comparer.Compare(query, other, 99));
    EXPECT_EQ(candidate["query_phonetic"], Utf16ToUtf8(comparer.PhoneticForm(query)));
    EXPECT_EQ(candidate["candidate_phonetic"], Utf16ToUtf8(comparer.PhoneticForm(other)));
  }
}

struct BadRequest {
  const char* name;
  std::string body;
  int status;
  std::int32_t number;
  const char* says;  // a piece of the error's text
};

TEST_F(ServerTest, BadRequestsAreRefusedWithJsonAndTheServerGoesOn) {
  ServerSettings settings;
  settings.defaults.mostQueries = 3;
  settings.defaults.mostTop = 50;
  Start(settings);
  const std::string seventyOne(71, 'a');
  const BadRequest kBad[] = {
      {"broken JSON", R"({"query": "Jon)", 400, 5, "not JSON"},
      {"not an object", R"(["Jon Smith"])", 400, 13, "JSON object"},
      {"no query", R"({"top": 3})", 400, 5, "no 'query'"},
      {"both", R"({"query": "a", "queries": ["b"]})", 400, 5, "not both"},
      {"query a number", R"({"query": 12})", 400, 13, "'query' must be a string"},
      {"empty query", R"({"query": ""})", 400, 5, "empty string"},
      {"71 units", R"({"query": ")" + seventyOne + R"("})", 400, 5, "longer than 70 UTF-16 code units (71)"},
      {"queries not a list", R"({"queries": "Jon"})", 400, 13, "array of strings"},
      {"queries empty", R"({"queries": []})", 400, 5, "1 to 3 strings"},
      {"too many queries", R"({"queries": ["a", "b", "c", "d"]})", 400, 5, "1 to 3 strings, not 4"},
      {"a query of a list empty", R"({"queries": ["a", ""]})", 400, 5, "'queries'[1] is an empty string"},
      {"a query of a list not text", R"({"queries": ["a", null]})", 400, 13, "'queries'[1] must be a string"},
      {"method a string", R"({"query": "a", "method": "2"})", 400, 13, "'method'"},
      {"method a fraction", R"({"query": "a", "method": 2.5})", 400, 13, "'method'"},
      {"method beyond 16 bits", R"({"query": "a", "method": 32768})", 400, 6, "-32768 to 32767"},
      {"method below 16 bits", R"({"query": "a", "method": -32769})", 400, 6, "-32768 to 32767"},
      {"threshold above 100", R"({"query": "a", "threshold": 100.5})", 400, 5, "0 to 100"},
      {"threshold negative", R"({"query": "a", "threshold": -1})", 400, 5, "0 to 100"},
      {"threshold text", R"({"query": "a", "threshold": "80"})", 400, 13, "'threshold'"},
      {"top zero", R"({"query": "a", "top": 0})", 400, 5, "1 to 50"},
      {"top over the most", R"({"query": "a", "top": 51})", 400, 5, "1 to 50"},
      {"top negative", R"({"query": "a", "top": -3})", 400, 5, "1 to 50"},
      {"explain not a flag", R"({"query": "a", "explain": 1})", 400, 13, "'explain'"},
      {"unknown field", R"({"query": "a", "limit": 3})", 400, 5, "unknown field 'limit'"},
      {"bad UTF-8", "{\"query\": \"J\xC3n\"}", 400, 5, "not JSON"},
  };
  for (const BadRequest& bad : kBad) {
    const json answer = Answer(PostJson("/v1/match", bad.body), bad.status);
    EXPECT_EQ(answer["number"], bad.number) << bad.name;
    ASSERT_TRUE(answer["error"].is_string()) << bad.name;
    EXPECT_NE(answer["error"].get<std::string>().find(bad.says), std::string::npos)
        << bad.name << ": " << answer["error"];
    // The next good request is answered as ever.
    const json good = Answer(PostJson("/v1/match", R"({"query": "Jon Smith", "top": 1})"));
    EXPECT_EQ(good["candidates"].size(), 1u) << "after " << bad.name;
  }
}

TEST_F(ServerTest, WhatHttplibRefusesIsAnsweredWithJsonToo) {
  ServerSettings settings;
  settings.mostBodyBytes = 1000;
  Start(settings);
  struct Case {
    const char* name;
    httplib::Result result;
    int status;
  };
  Case cases[] = {
      {"unknown path", client_->Get("/v2/match"), 404},
      {"match by GET", client_->Get("/v1/match"), 404},
      {"body over the limit", PostJson("/v1/match", R"({"query": ")" + std::string(2000, 'a') + R"("})"), 413},
  };
  for (Case& refused : cases) {
    const json answer = Answer(refused.result, refused.status);
    EXPECT_TRUE(answer["error"].is_string()) << refused.name;
    EXPECT_TRUE(answer["number"].is_number_integer()) << refused.name;
  }
  EXPECT_EQ(Answer(PostJson("/v1/match", R"({"query": "Ann Lee"})"))["query"], "Ann Lee");
}

TEST_F(ServerTest, ALookupPastItsTimeIsAnswered503) {
  ServerSettings settings;
  settings.requestTime = std::chrono::milliseconds(0);
  Start(settings);
  const json answer = Answer(PostJson("/v1/match", R"({"query": "Jon Smith"})"), 503);
  EXPECT_NE(answer["error"].get<std::string>().find("longer than 0 ms"), std::string::npos) << answer;
  EXPECT_EQ(Answer(client_->Get("/v1/health"))["status"], "ok");
}

TEST_F(ServerTest, HealthAndMetricsCountWhatWasAsked) {
  Start();
  const json health = Answer(client_->Get("/v1/health"));
  EXPECT_EQ(health["status"], "ok");
  EXPECT_EQ(health["records"], list_->size());
  for (int i = 0; i < 3; ++i) Answer(PostJson("/v1/match", R"({"query": "Ann Lee"})"));
  Answer(PostJson("/v1/match", R"({"query": ""})"), 400);
  Answer(client_->Get("/nowhere"), 404);

  const httplib::Result metrics = client_->Get("/metrics");
  ASSERT_TRUE(metrics);
  EXPECT_EQ(metrics->status, 200);
  const std::string& text = metrics->body;
  const std::string expectedLines[] = {
      "vantel_requests_total{endpoint=\"match\"} 4\n",
      "vantel_request_errors_total{endpoint=\"match\"} 1\n",
      "vantel_requests_total{endpoint=\"health\"} 1\n",
      "vantel_requests_total{endpoint=\"other\"} 1\n",
      "vantel_request_errors_total{endpoint=\"other\"} 1\n",
      "vantel_request_duration_seconds_bucket{le=\"+Inf\"} 6\n",
      "vantel_request_duration_seconds_count 6\n",
      "# TYPE vantel_request_duration_seconds histogram\n",
      "vantel_records " + std::to_string(list_->size()) + "\n",
  };
  for (const std::string& line : expectedLines) EXPECT_NE(text.find(line), std::string::npos) << line << text;
}

TEST_F(ServerTest, TheSearchPageIsServedWhole) {
  Start();
  const httplib::Result page = client_->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(page->body.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(page->body.find("fetch(\"v1/match\""), std::string::npos);
  EXPECT_NE(page->body.find("</html>"), std::string::npos);
  EXPECT_EQ(page->body.find("http://"), std::string::npos);  // nothing from the network
}

TEST_F(ServerTest, ConcurrentLookupsGetTheSameAnswers) {
  Start();
  std::vector<std::string> expected;
  for (const Lookup& lookup : kLookups)
    expected.push_back(Answer(PostJson("/v1/match", Request(lookup).dump())).dump());
  std::atomic<int> differing{0}, failed{0};
  {
    std::vector<std::jthread> clients;
    for (int worker = 0; worker < 4; ++worker) {
      clients.emplace_back([&, worker] {
        httplib::Client client("127.0.0.1", port_);
        for (int round = 0; round < 5; ++round) {
          for (std::size_t at = 0; at < std::size(kLookups); ++at) {
            const std::size_t pick = (at + static_cast<std::size_t>(worker)) % std::size(kLookups);
            const auto result = client.Post("/v1/match", Request(kLookups[pick]).dump(), "application/json");
            if (!result || result->status != 200) {
              ++failed;
            } else if (json::parse(result->body).dump() != expected[pick]) {
              ++differing;
            }
          }
        }
      });
    }
  }
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace vantel::server::testing
