// A lookup server started in-process on a free loopback port, over a list
// of names, and a client that speaks to it; the server is stopped and its
// thread joined at the end of each test.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "server/LookupList.h"
#include "server/LookupServer.h"
#include "tests/matching/RandomNames.h"
#include "vantel/Utf8.h"

namespace vantel::server::testing {

// A few names with near namesakes, then random name-like strings, so that
// queries find several candidates with ties among them.
inline std::vector<LookupRecord> SampleRecords() {
  const char* const kNames[] = {"Catherine Johnson", "Kathryn Jonson",  "Katherine Johnson", "Stephen Phillips",
                                "Steven Philips",    "Sean McDonald",   "Shaun MacDonald",   "Ann Lee",
                                "Anne Leigh",        "Margaret O'Neil", "Margaret O'Neill",  "Jon Smith",
                                "John Smith",        "Jonathan Smythe", "Zoë Andersen",      "Zoe Anderson",
                                "Ann Lee",           "Harriet Knight",  "Harriet Night",     "Jeffrey Baker"};
  std::vector<LookupRecord> records;
  for (const char* name : kNames) {
    records.push_back({std::to_string(records.size() + 1), name, {"city " + std::to_string(records.size() % 3)}});
  }
  for (const std::u16string& name : matching::testing::RandomNames(7, 300)) {
    const std::string text = Utf16ToUtf8(name);
    if (text.empty() || name.size() > 70) continue;
    records.push_back({std::to_string(records.size() + 1), text, {"city " + std::to_string(records.size() % 3)}});
  }
  return records;
}

class ServerTest : public ::testing::Test {
 protected:
  static std::shared_ptr<const LookupList> SampleList() {
    return std::make_shared<const LookupList>(SampleRecords(), std::vector<std::string>{"city"}, true, 2);
  }

  // A folder of the test's own for its journal, removed at its end.
  std::string Folder() {
    if (folder_.empty()) {
      std::string pattern = (std::filesystem::temp_directory_path() / "vantel-server-XXXXXX").string();
      if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a folder like " << pattern;
      folder_ = pattern;
    }
    return folder_.string();
  }

  void Start(ServerSettings settings = {}, std::shared_ptr<const LookupList> list = SampleList()) {
    list_ = std::move(list);
    settings.host = "127.0.0.1";
    settings.port = 0;
    settings.threads = 4;
    server_ = std::make_unique<LookupServer>(list_, settings);
    port_ = server_->Bind();
    serving_ = std::thread([this] { server_->Serve(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_read_timeout(30, 0);
  }

  void Stop() {
    if (server_) server_->Stop();
    if (serving_.joinable()) serving_.join();
    server_.reset();
  }

  void TearDown() override {
    Stop();
    if (!folder_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
    }
  }

  httplib::Result PostJson(const std::string& path, const std::string& body) {
    return client_->Post(path, body, "application/json");
  }

  // The JSON body of an answer with `status`; a failure when it is not.
  nlohmann::json Answer(const httplib::Result& result, int status = 200) {
    if (!result) {
      ADD_FAILURE() << "no answer: " << httplib::to_string(result.error());
      return {};
    }
    EXPECT_EQ(result->status, status) << result->body;
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json") << result->body;
    try {
      return nlohmann::json::parse(result->body);
    } catch (const nlohmann::json::parse_error& bad) {
      ADD_FAILURE() << "not JSON: " << bad.what() << ": " << result->body;
      return {};
    }
  }

  std::shared_ptr<const LookupList> list_;
  std::unique_ptr<LookupServer> server_;
  std::unique_ptr<httplib::Client> client_;
  std::thread serving_;
  int port_ = 0;
  std::filesystem::path folder_;
};

}  // namespace vantel::server::testing
