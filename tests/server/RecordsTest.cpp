#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "server/Journal.h"
#include "tests/server/ServerFixture.h"
#include "vantel/Match.h"

namespace vantel::server::testing {
namespace {

using nlohmann::json;

constexpr const char* kToken = "open sesame 42";

httplib::Headers Bearer(const std::string& token = kToken) { return {{"Authorization", "Bearer " + token}}; }

class RecordsTest : public ServerTest {
 protected:
  void StartWithToken(std::shared_ptr<const LookupList> list = SampleList()) {
    ServerSettings settings;
    settings.token = kToken;
    settings.journalPath = JournalPath();
    settings.defaults.mostQueries = 4;
    Start(settings, std::move(list));
  }
  std::string JournalPath() { return Folder() + "/names.journal"; }

  httplib::Result Add(const std::string& body, const httplib::Headers& headers = Bearer()) {
    return client_->Post("/v1/records", headers, body, "application/json");
  }

  // The candidates of a query as the server answers it.
  json Candidates(const std::string& query) {
    return Answer(PostJson("/v1/match", json({{"query", query}, {"top", 5}, {"threshold", 60}}).dump()))["candidates"];
  }
};

TEST_F(RecordsTest, ChangesNeedTheBearerToken) {
  StartWithToken();
  const httplib::Headers kRefused[] = {
      {},
      {{"Authorization", kToken}},
      {{"Authorization", std::string("Basic ") + kToken}},
      Bearer("open sesame 4"),
      Bearer("open sesame 421"),
      Bearer(""),
  };
  const std::string body = R"({"records": [{"string": "Jon Smithers"}]})";
  for (const httplib::Headers& headers : kRefused) {
    const json answer = Answer(Add(body, headers), 401);
    EXPECT_NE(answer["error"].get<std::string>().find("bearer token"), std::string::npos) << answer;
    Answer(client_->Delete("/v1/records/1", headers), 401);
  }
  EXPECT_EQ(Answer(client_->Get("/v1/health"))["records"], list_->size());
  EXPECT_EQ(Answer(Add(body), 201)["records"].size(), 1u);
}

TEST_F(RecordsTest, AServerWithoutATokenTakesNoChanges) {
  Start();
  const json answer = Answer(Add(R"({"records": [{"string": "Jon Smithers"}]})"), 401);
  EXPECT_NE(answer["error"].get<std::string>().find("--token-file"), std::string::npos) << answer;
}

TEST_F(RecordsTest, AddedRecordsAreFoundAtOnceAndRemovedOnesNoMore) {
  StartWithToken();
  const std::size_t held = list_->size();
  const json added = Answer(Add(R"({"records": [{"string": "Jon Smithers", "fields": {"city": "Oslo"}},
                                                {"string": "Jonathon Smithers"}]})"),
                            201);
  ASSERT_EQ(added["records"], json::array({{{"id", held + 1}}, {{"id", held + 2}}}));

  // Exactly the matcher's answer over the list with the two records after it.
  std::vector<std::u16string> strings;
  for (std::size_t at = 0; at < held; ++at) strings.push_back(list_->string(at));
  strings.insert(strings.end(), {u"Jon Smithers", u"Jonathon Smithers"});
  MatchOptions options;
  options.top = 5;
  options.threshold = 60;
  const std::vector<ScoredPair> expected = Matcher({u"Jon Smithers"}, strings, options).Run();
  json candidates = Candidates("Jon Smithers");
  ASSERT_EQ(candidates.size(), expected.size());
  for (std::size_t at = 0; at < expected.size(); ++at) {
    EXPECT_EQ(candidates[at]["id"], expected[at].candidate + 1);
    EXPECT_EQ(candidates[at]["answer"].get<double>(), expected[at].answer);
  }
  EXPECT_EQ(candidates[0]["fields"]["city"], "Oslo");

  const std::string last = std::to_string(held + 2);
  EXPECT_EQ(Answer(client_->Delete("/v1/records/" + last, Bearer()))["removed"], last);
  for (const json& candidate : Candidates("Jon Smithers")) EXPECT_NE(candidate["id"], held + 2);
  EXPECT_EQ(Answer(client_->Delete("/v1/records/" + last, Bearer()), 404)["number"], 9);
  // The removed number is not given again.
  EXPECT_EQ(Answer(Add(R"({"records": [{"string": "Ann Smithers"}]})"), 201)["records"][0]["id"], held + 3);
  EXPECT_EQ(Answer(client_->Get("/v1/health"))["records"], held + 2);
}

TEST_F(RecordsTest, BadRecordsAreRefusedAndNothingIsAdded) {
  StartWithToken();
  const struct {
    std::string body;
    const char* says;
  } kBad[] = {
      {R"({"records": [{"string": "a")", "not JSON"},
      {R"([{"string": "a"}])", "{\"records\": [...]}"},
      {R"({"records": {"string": "a"}})", "array of records"},
      {R"({"records": []})", "1 to 4 records"},
      {R"({"records": [{"string": "a"}, {"string": "b"}, {"string": "c"}, {"string": "d"}, {"string": "e"}]})",
       "1 to 4 records, not 5"},
      {R"({"records": [{"fields": {}}]})", "has no 'string'"},
      {R"({"records": [{"string": ""}]})", "empty string"},
      {R"({"records": [{"string": ")" + std::string(71, 'x') + R"("}]})", "(71)"},
      {R"({"records": [{"string": 7}]})", ".string must be a string"},
      {R"({"records": [{"string": "a", "id": "A1"}]})", "give no id"},
      {R"({"records": [{"string": "a", "fields": {"town": "Oslo"}}]})", "no field 'town'"},
      {R"({"records": [{"string": "a", "fields": {"city": 3}}]})", "fields.city must be a string"},
      {R"({"records": [{"string": "a"}, {"string": "b", "colour": "red"}]})", "'records'[1]: unknown field"},
  };
  for (const auto& bad : kBad) {
    const json answer = Answer(Add(bad.body), 400);
    EXPECT_NE(answer["error"].get<std::string>().find(bad.says), std::string::npos) << answer;
  }
  EXPECT_EQ(Answer(client_->Get("/v1/health"))["records"], list_->size());
  std::ifstream journal(JournalPath());
  EXPECT_EQ(journal.peek(), std::ifstream::traits_type::eof());  // nothing was written
}

TEST_F(RecordsTest, IdsOfTheFileAreGivenByTheClientOnce) {
  std::vector<LookupRecord> records = {{"C1", "Jon Smith", {}}, {"C2", "Ann Lee", {}}};
  StartWithToken(std::make_shared<const LookupList>(records, std::vector<std::string>{}, false));
  EXPECT_NE(Answer(Add(R"({"records": [{"string": "a"}]})"), 400)["error"].get<std::string>().find("no 'id'"),
            std::string::npos);
  Answer(Add(R"({"records": [{"string": "Jon Smyth", "id": "C2"}]})"), 409);
  Answer(Add(R"({"records": [{"string": "Jon Smyth", "id": "C3"}, {"string": "Jo", "id": "C3"}]})"), 409);
  EXPECT_EQ(Answer(Add(R"({"records": [{"string": "Zara Quinn", "id": "C3"}]})"), 201)["records"][0]["id"], "C3");
  EXPECT_EQ(Candidates("Zara Quinn"), json::array({{{"id", "C3"}, {"string", "Zara Quinn"}, {"answer", 100}}}));
  EXPECT_EQ(Candidates("Jon Smith")[0]["id"], "C1");
  Answer(client_->Delete("/v1/records/C1", Bearer()));
  EXPECT_EQ(Candidates("Jon Smith"), json::array());
}

// What the server acknowledged is in the journal: a server started again
// over the list as read from the file answers as the first did.
TEST_F(RecordsTest, TheJournalBringsBackEveryAcknowledgedChange) {
  StartWithToken();
  Answer(Add(R"({"records": [{"string": "Jon Smithers", "fields": {"city": "Oslo"}}]})"), 201);
  Answer(Add(R"({"records": [{"string": "Jonathon Smithers"}, {"string": "Jon Smith"}]})"), 201);
  Answer(client_->Delete("/v1/records/12", Bearer()));  // "Jon Smith" of the file
  Answer(client_->Delete("/v1/records/" + std::to_string(list_->size() + 2), Bearer()));
  const json before = Candidates("Jon Smithers");
  const json health = Answer(client_->Get("/v1/health"));
  Stop();

  bool cutShort = true;
  const auto replayed = ReplayJournal(JournalPath(), SampleList(), cutShort);
  EXPECT_FALSE(cutShort);
  EXPECT_EQ(replayed->size(), health["records"]);
  StartWithToken(replayed);
  EXPECT_EQ(Candidates("Jon Smithers"), before);
  EXPECT_EQ(Answer(Add(R"({"records": [{"string": "Zed"}]})"), 201)["records"][0]["id"], SampleList()->size() + 4);
}

TEST_F(RecordsTest, ALastLineCutShortIsDroppedAndOtherDamageRefused) {
  const std::string path = JournalPath();
  const std::string whole = R"({"add":{"id":"900","string":"Jon Smithers","fields":{}}})";
  const auto write = [&](const std::string& text) { std::ofstream(path, std::ios::binary) << text; };

  write(whole + "\n" + R"({"remove":"1"})" + "\n" + R"({"add":{"id":"901","str)");
  bool cutShort = false;
  const auto replayed = ReplayJournal(path, SampleList(), cutShort);
  EXPECT_TRUE(cutShort);
  EXPECT_EQ(replayed->size(), SampleList()->size());  // one added, one removed
  EXPECT_EQ(replayed->record(replayed->size() - 1).text, "Jon Smithers");
  std::stringstream after;
  after << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_EQ(after.str(), whole + "\n" + R"({"remove":"1"})" + "\n");

  const struct {
    std::string text;
    const char* says;
  } kDamaged[] = {
      {whole + "\n{\"add\": 3}\n", "line 2: neither"},
      {"garbage\n" + whole + "\n", "line 1: not JSON"},
      {std::string(R"({"add":{"id":"9","string":"a"}})") + "\n", "line 1: an addition needs"},
      {std::string(R"({"add":{"id":"9","string":"a","fields":{"city":1}}})") + "\n", "field 'city' is not a string"},
      {std::string(R"({"remove":"1","add":{}})") + "\n", "neither"},
  };
  for (const auto& damaged : kDamaged) {
    write(damaged.text);
    try {
      ReplayJournal(path, SampleList(), cutShort);
      ADD_FAILURE() << "replayed: " << damaged.text;
    } catch (const JournalError& refused) {
      EXPECT_NE(std::string(refused.what()).find(path), std::string::npos) << refused.what();
      EXPECT_NE(std::string(refused.what()).find(damaged.says), std::string::npos) << refused.what();
    }
  }
}

}  // namespace
}  // namespace vantel::server::testing
