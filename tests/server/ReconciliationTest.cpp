#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/server/ServerFixture.h"
#include "vantel/Match.h"

namespace vantel::server::testing {
namespace {

using nlohmann::json;

TEST_F(ServerTest, TheManifestHasWhatOpenRefineReads) {
  Start();
  const json manifest = Answer(client_->Get("/reconcile"));
  EXPECT_EQ(manifest["versions"], json({"0.1", "0.2"}));
  EXPECT_EQ(manifest["name"], "Vantel");
  EXPECT_TRUE(manifest["identifierSpace"].is_string());
  EXPECT_TRUE(manifest["schemaSpace"].is_string());
  ASSERT_EQ(manifest["defaultTypes"].size(), 1u);
  EXPECT_EQ(manifest["defaultTypes"][0], json({{"id", "record"}, {"name", "Record"}}));
}

TEST_F(ServerTest, TheManifestComesAsJsonpWhenAskedAndCorsAlways) {
  Start();
  const httplib::Result wrapped = client_->Get("/reconcile?callback=jQuery_12.cb$");
  ASSERT_TRUE(wrapped);
  EXPECT_EQ(wrapped->status, 200);
  EXPECT_EQ(wrapped->get_header_value("Access-Control-Allow-Origin"), "*");
  EXPECT_EQ(wrapped->get_header_value("Content-Type"), "application/javascript");
  const std::string prefix = "jQuery_12.cb$(";
  ASSERT_EQ(wrapped->body.rfind(prefix, 0), 0u) << wrapped->body;
  ASSERT_EQ(wrapped->body.substr(wrapped->body.size() - 2), ");");
  const json manifest = json::parse(wrapped->body.substr(prefix.size(), wrapped->body.size() - prefix.size() - 2));
  EXPECT_EQ(manifest, Answer(client_->Get("/reconcile")));

  const json refused = Answer(client_->Get("/reconcile?callback=alert(1)"), 400);
  EXPECT_NE(refused["error"].get<std::string>().find("'callback'"), std::string::npos);

  const httplib::Result preflight = client_->Options("/reconcile");
  ASSERT_TRUE(preflight);
  EXPECT_EQ(preflight->status, 204);
  EXPECT_EQ(preflight->get_header_value("Access-Control-Allow-Origin"), "*");
  EXPECT_NE(preflight->get_header_value("Access-Control-Allow-Methods").find("POST"), std::string::npos);
}

// A batch as OpenRefine sends it: each query's candidates are the matcher's
// best under the server's method and threshold, the first of them the match.
TEST_F(ServerTest, ABatchOfQueriesIsAnsweredKeyByKey) {
  ServerSettings settings;
  settings.defaults.method = 2;
  settings.defaults.threshold = 50;
  settings.defaults.top = 3;
  Start(settings);
  const json queries = {
      {"q0", {{"query", "Jon Smith"}, {"type", "record"}, {"type_strict", "should"}}},
      {"q1", {{"query", "Catherine Jonson"}, {"limit", 5}}},
      {"q2", {{"query", "Ann Lee"}, {"properties", json::array({{{"pid", "city"}, {"v", "city 1"}}})}}},
      {"q3", {{"query", "Qwxyz Vbnm"}}},
      {"q4", {{"query", ""}}},
      {"q5", {{"query", "Harriet"}, {"limit", 0}}},
  };
  const httplib::Params form = {{"queries", queries.dump()}};
  const json byPost = Answer(client_->Post("/reconcile", form));
  const json byGet = Answer(client_->Get("/reconcile", httplib::Params{{"queries", queries.dump()}}, {}));
  EXPECT_EQ(byPost, byGet);

  std::vector<std::u16string> strings;
  for (std::size_t at = 0; at < list_->size(); ++at) strings.push_back(list_->string(at));
  ASSERT_EQ(byPost.size(), queries.size());
  std::size_t found = 0;
  for (const auto& [key, query] : queries.items()) {
    ASSERT_TRUE(byPost.contains(key)) << key;
    const json& result = byPost[key]["result"];
    ASSERT_TRUE(result.is_array()) << key;
    const std::string text = query["query"].get<std::string>();
    if (text.empty()) {
      EXPECT_TRUE(result.empty());
      continue;
    }
    MatchOptions options;
    options.method = 2;
    options.threshold = 50;
    options.top = query.contains("limit") && query["limit"] != 0 ? query["limit"].get<std::size_t>() : 3;
    const std::vector<ScoredPair> expected = Matcher({Utf8ToUtf16(text)}, strings, options).Run();
    ASSERT_EQ(result.size(), expected.size()) << key;
    found += expected.size();
    for (std::size_t at = 0; at < expected.size(); ++at) {
      const LookupRecord& record = list_->record(expected[at].candidate);
      EXPECT_EQ(result[at]["id"], record.id) << key;
      EXPECT_EQ(result[at]["name"], record.text) << key;
      EXPECT_EQ(result[at]["score"].get<double>(), expected[at].answer) << key;
      EXPECT_EQ(result[at]["match"], at == 0) << key;
      EXPECT_EQ(result[at]["type"], json::array({{{"id", "record"}, {"name", "Record"}}})) << key;
    }
  }
  EXPECT_GT(found, 6u);
}

TEST_F(ServerTest, ABrokenBatchIsRefusedWithJson) {
  ServerSettings settings;
  settings.defaults.mostQueries = 2;
  Start(settings);
  const struct {
    const char* queries;
    const char* says;
  } kBad[] = {
      {R"({"q0": {"query": "a")", "not JSON"},
      {R"(["a"])", "JSON object"},
      {R"({"q0": "Jon"})", "'queries'.q0 must be an object"},
      {R"({"q0": {"limit": 3}})", "'queries'.q0.query must be a string"},
      {R"({"q0": {"query": "a", "limit": -1}})", "'queries'.q0.limit"},
      {R"({"q0": {"query": "a"}, "q1": {"query": "b"}, "q2": {"query": "c"}})", "the most is 2"},
  };
  for (const auto& bad : kBad) {
    const json answer = Answer(client_->Post("/reconcile", httplib::Params{{"queries", bad.queries}}), 400);
    EXPECT_NE(answer["error"].get<std::string>().find(bad.says), std::string::npos) << answer;
  }
  EXPECT_EQ(
      Answer(client_->Post("/reconcile",
                           httplib::Params{{"queries", R"({"q0": {"query": "Ann Lee"}})"}}))["q0"]["result"][0]["name"],
      "Ann Lee");
}

}  // namespace
}  // namespace vantel::server::testing
