#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/RecordModel.h"
#include "tests/server/ServerFixture.h"
#include "vantel/Link.h"
#include "vantel/LinkModel.h"
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
      const RecordView record = list_->record(expected[at].candidate);
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

// A model of the sample's two columns: the name (the list's strings) in
// three levels, weighed by its frequency when equal, and the city kept
// beside it, whose agreement weighs more than a name that is only close.
LinkModel NameAndCityModel() {
  LinkModel model;
  model.fields.push_back(
      {ParseFieldComparison("name:name:method=2:levels=90,75"), {0.6, 0.25, 0.1, 0.05}, {0.001, 0.004, 0.02, 0.975}});
  model.fields.push_back({ParseFieldComparison("city:exact:tf=off"), {0.9, 0.1}, {0.01, 0.99}});
  model.prior = 0.05;
  return model;
}

// With a model, the name's candidates are ranked by the probability the model
// gives the whole record, properties included: what the link pipeline gives
// the pair when the query is linked with the whole list (term frequencies
// counted over both).
TEST_F(ServerTest, WithAModelTheQuerysPropertiesRankWholeRecords) {
  ServerSettings settings;
  settings.defaults.method = 2;
  settings.defaults.threshold = 60;
  settings.defaults.top = 3;
  const auto list = SampleList();
  settings.model = std::make_shared<const RecordModel>(NameAndCityModel(), "name", *list);
  Start(settings, list);
  const json queries = {
      {"bare", {{"query", "Catherine Johnson"}}},
      {"city", {{"query", "Catherine Johnson"}, {"properties", json::array({{{"pid", "city"}, {"v", "city 2"}}})}}},
      {"other", {{"query", "Catherine Johnson"}, {"properties", json::array({{{"pid", "town"}, {"v", "x"}}})}}},
  };
  const json answer = Answer(client_->Post("/reconcile", httplib::Params{{"queries", queries.dump()}}));

  // Each score against the link pipeline over the query and the whole list as two files.
  const auto expectLinked = [&](const json& result, const std::string& city) {
    std::vector<FieldComparison> fields;
    for (const FieldModel& field : NameAndCityModel().fields) fields.push_back(field.comparison);
    std::vector<std::vector<std::string_view>> columns = {{"Catherine Johnson"}, {city}};
    for (std::size_t at = 0; at < list_->size(); ++at) {
      columns[0].push_back(list_->record(at).text);
      columns[1].push_back(list_->record(at).field(0));
    }
    const LinkRecords records(fields, columns, 1);
    for (const json& candidate : result) {
      std::uint32_t at = 0;
      while (list_->record(at).id != candidate["id"].get<std::string>()) ++at;
      const auto linked = ScorePairs(NameAndCityModel(), records, {{0, at + 1}}, 0.0, 1);
      ASSERT_EQ(linked.size(), 1u);
      EXPECT_EQ(candidate["score"].get<double>(), 100.0 * linked[0].probability) << candidate;
    }
  };
  const json& bare = answer["bare"]["result"];
  ASSERT_EQ(bare.size(), 3u);
  EXPECT_EQ(bare[0]["name"], "Catherine Johnson");  // the same name, the city unknown
  EXPECT_EQ(bare[0]["match"], true);
  expectLinked(bare, "");
  EXPECT_EQ(answer["other"], answer["bare"]);  // a column the model does not compare changes nothing

  const json& city = answer["city"]["result"];
  ASSERT_EQ(city.size(), 3u);
  EXPECT_EQ(city[0]["name"], "Katherine Johnson");  // in city 2; the exact name is in city 0
  EXPECT_GT(city[0]["score"].get<double>(), city[1]["score"].get<double>());
  EXPECT_EQ(city[0]["match"], true);
  EXPECT_EQ(city[1]["match"], false);
  expectLinked(city, "city 2");

  const json refused = Answer(
      client_->Post("/reconcile", httplib::Params{{"queries", R"({"q0": {"query": "a", "properties": [{"v": 1}]}})"}}),
      400);
  EXPECT_NE(refused["error"].get<std::string>().find("'queries'.q0.properties[0]"), std::string::npos) << refused;
}

// Term counts are made when the server starts; a record added since, with a
// name they do not hold, is weighed all the same (by its own count), not refused.
TEST(RecordModel, WeighsARecordAddedAfterItsTermCountsWereMade) {
  const std::vector<LookupRecord> records = {{"1", "Ann Lee", {"York"}}, {"2", "Jon Smith", {"Hull"}}};
  const LookupList list(records, {"city"}, true);
  const RecordModel model(NameAndCityModel(), "name", list);
  const LookupList changed = list.WithAdded({{"3", "Annabel Leeson", {"York"}}, {"4", "Ann Lee", {"York"}}});
  const std::vector<double> probabilities =
      model.Probabilities(changed, "Annabel Leeson", {{"city", "York"}}, {0, 2, 3});
  ASSERT_EQ(probabilities.size(), 3u);
  EXPECT_GT(probabilities[1], 0.5);  // the same name and city
  EXPECT_LT(probabilities[0], probabilities[1]);
  EXPECT_EQ(probabilities[0], probabilities[2]);  // "Ann Lee" twice: one value, whatever its count
}

TEST(RecordModel, RefusesAModelOfAColumnTheListLacks) {
  const std::vector<LookupRecord> records = {{"1", "Ann Lee", {"York", "1"}}, {"2", "Jon Smith", {"Hull", "2"}}};
  const LookupList towns(records, {"town", "row"}, true);
  const LookupList cities(records, {"row", "city"}, true);
  try {
    const RecordModel model(NameAndCityModel(), "name", towns);
    ADD_FAILURE() << "took a model of a column the list lacks";
  } catch (const std::invalid_argument& refused) {
    EXPECT_NE(std::string(refused.what()).find("column city"), std::string::npos) << refused.what();
  }
  EXPECT_THROW(RecordModel(NameAndCityModel(), "surname", cities), std::invalid_argument);
  EXPECT_NO_THROW(RecordModel(NameAndCityModel(), "name", cities));
}

}  // namespace
}  // namespace vantel::server::testing
