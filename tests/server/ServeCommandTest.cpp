// The refusals of `vantel serve` before it listens: each names the argument
// or the file at fault and ends with a failure status, serving nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "server/Journal.h"
#include "tests/cli/RunCommand.h"

namespace vantel::cli {
namespace {

struct Refusal {
  std::vector<std::string> args;  // after "serve"; FILE stands for the list
  int status;
  const char* says;
};

TEST(ServeCommandTest, WrongCommandLinesAndFilesAreRefusedBeforeListening) {
  const TempFile list("Jon Smith\nAnn Lee\n", "names.txt");
  const TempFile emptyToken("  \n", "token");
  const Refusal kRefusals[] = {
      {{}, 2, "expected one FILE, got 0"},
      {{"FILE", "FILE"}, 2, "expected one FILE, got 2"},
      {{"-"}, 2, "FILE must be a file"},
      {{"--listen", "127.0.0.1", "FILE"}, 2, "--listen: '127.0.0.1' is not HOST:PORT"},
      {{"--listen", "127.0.0.1:65536", "FILE"}, 2, "port from 0 to 65535"},
      {{"--listen", ":8080", "FILE"}, 2, "--listen"},
      {{"--top", "20", "--most-top", "10", "FILE"}, 2, "--top (20) is more than --most-top (10)"},
      {{"--threshold", "101", "FILE"}, 2, "--threshold"},
      {{"--method", "40000", "FILE"}, 2, "--method"},
      {{"--column", "name", "FILE"}, 2, "--column, --id and --keep need a CSV"},
      {{"--frobnicate", "FILE"}, 2, "unknown option '--frobnicate'"},
      {{"--token-file", emptyToken.path(), "FILE"}, 1, "holds no token"},
      {{"--token-file", list.path() + ".missing", "FILE"}, 1, "cannot be read"},
      {{list.path() + ".missing"}, 2, ".missing"},
  };
  for (const Refusal& refusal : kRefusals) {
    std::vector<std::string> args = {"serve"};
    for (const std::string& arg : refusal.args) args.push_back(arg == "FILE" ? list.path() : arg);
    const CliRun run = RunWith(std::vector<std::string_view>(args.begin(), args.end()));
    EXPECT_EQ(run.status, refusal.status) << run.err;
    EXPECT_NE(run.err.find(refusal.says), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST(ServeCommandTest, ADamagedJournalStopsTheStartNamingItsLine) {
  const TempFile list("Jon Smith\nAnn Lee\n", "names.txt");
  const std::string path = list.path();
  std::ofstream(path + ".journal") << R"({"remove":"1"})"
                                   << "\n"
                                   << R"({"add":{"id":"3"}})"
                                   << "\n";
  const CliRun run = RunWith({"serve", "--listen", "127.0.0.1:0", path});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(path + ".journal line 2: an addition needs"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("listening"), std::string::npos) << run.err;
}

// `vantel index --compact`: what a server took is in the index that
// `vantel match --index` reads, ids as they were; bad uses name the fault.
TEST(ServeCommandTest, IndexCompactFoldsTheJournalIntoTheIndex) {
  const TempFile list("Smith\nJones\nBrown\n", "names.txt");
  const std::string index = list.path() + ".vidx";
  ASSERT_EQ(RunWith({"index", list.path(), "-o", index}).status, 0);
  std::ofstream(index + ".journal") << R"({"add":{"id":"4","string":"Smyth","fields":{}}})"
                                    << "\n"
                                    << R"({"remove":"1"})"
                                    << "\n";
  const CliRun compacted = RunWith({"index", "--compact", index});
  EXPECT_EQ(compacted.status, 0) << compacted.err;
  EXPECT_EQ(compacted.err, "vantel index: " + index + ": 3 records, 2 changes folded in\n");
  const CliRun matched = RunWith({"match", "--index", index, "-", "--threshold", "80"}, "Smith\n");
  EXPECT_EQ(matched.status, 0) << matched.err;
  EXPECT_EQ(matched.out, "1\t4\tSmith\tSmyth\t100\n");  // id 1, Smith itself, is gone

  const struct {
    std::vector<std::string> args;
    int status;
    std::string says;
  } refusals[] = {
      {{"index", "--compact", "--column", "1", index}, 2, "--compact takes no record options"},
      {{"index", "--compact", "-"}, 2, "not standard input"},
      {{"index", "--compact", "--threads", "2", index}, 2, "--compact takes no --threads"},
      {{"index", "--compact", list.path()}, 1, "not a vantel index"},
      {{"index", "--compact", index + ".missing"}, 1, index + ".missing"},
  };
  for (const auto& refusal : refusals) {
    const CliRun run = RunWith(std::vector<std::string_view>(refusal.args.begin(), refusal.args.end()));
    EXPECT_EQ(run.status, refusal.status) << refusal.says;
    EXPECT_NE(run.err.find(refusal.says), std::string::npos) << run.err;
  }
}

// A server that takes changes locks its journal before it reads the list:
// while a compaction holds it, the server does not start.
TEST(ServeCommandTest, AServerTakingChangesWaitsForNoCompactionButRefusesToStart) {
  const TempFile list("Jon Smith\nAnn Lee\n", "names.txt");
  const TempFile token("secret\n", "token");
  const server::JournalLock compacting(list.path() + ".journal");
  const CliRun run = RunWith({"serve", "--listen", "127.0.0.1:0", "--token-file", token.path(), list.path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("in use by another process"), std::string::npos) << run.err;
}

TEST(ServeCommandTest, HelpListsTheEndpoints) {
  const CliRun run = RunWith({"serve", "--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* endpoint : {"POST /v1/match", "GET  /v1/health", "/reconcile", "POST /v1/records", "--token-file"}) {
    EXPECT_NE(run.out.find(endpoint), std::string::npos) << endpoint;
  }
}

}  // namespace
}  // namespace vantel::cli
