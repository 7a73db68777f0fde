#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/cli/RunCommand.h"
#include "tests/matching/RandomNames.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

// A candidate file with ids, a field to keep, repeated names and rows that
// cannot take part: short of fields, empty, too long, not UTF-8.
std::string CandidateCsv() {
  std::string csv = "id,name,town\n";
  const std::vector<std::u16string> names = matching::testing::RandomNames(3, 400);
  for (std::size_t at = 0; at < names.size(); ++at) {
    csv += "C" + std::to_string(at) + "," + Utf16ToUtf8(names[at]) + "," + (at % 3 ? "York" : "\"Hull, East\"") + "\n";
    if (at == 50) csv += "C-short\n";
    if (at == 60) csv += "C-empty,,Leeds\n";
    if (at == 70) csv += "C-long," + std::string(71, 'q') + ",Leeds\n";
    if (at == 80) csv += "C-bad,Sm\xffth,Leeds\n";
    if (at == 90) csv += "C-again," + Utf16ToUtf8(names[7]) + ",Ripon\n";
  }
  return csv;
}

std::string QueryCsv() {
  std::string csv = "id,name,town\n";
  const std::vector<std::u16string> names = matching::testing::RandomNames(5, 80);
  for (std::size_t at = 0; at < names.size(); ++at)
    csv += "Q" + std::to_string(at) + "," + Utf16ToUtf8(names[at]) + ",Bath\n";
  csv += "Q-empty,,Bath\n";
  return csv;
}

// The folder of `file`, where an index beside it goes.
std::string Beside(const TempFile& file, const std::string& name) {
  return (std::filesystem::path(file.path()).parent_path() / name).string();
}

TEST(IndexCommand, MatchesWithTheIndexExactlyAsWithTheFile) {
  const TempFile candidates(CandidateCsv(), "candidates.csv");
  const TempFile queries(QueryCsv(), "queries.csv");
  const std::string index = Beside(candidates, "candidates.vidx");
  const std::string candidatesPath = candidates.path(), queriesPath = queries.path();
  const std::vector<std::vector<std::string_view>> recordOptions = {
      {"--column", "name", "--id", "id", "--keep", "town"}, {"--column", "2"}, {"--column", "2", "--keep", "3,1"}};
  for (const std::vector<std::string_view>& records : recordOptions) {
    std::vector<std::string_view> indexArgs = {"index", "--threads", "2"};
    indexArgs.insert(indexArgs.end(), records.begin(), records.end());
    indexArgs.insert(indexArgs.end(), {candidatesPath, "-o", index});
    const CliRun made = RunWith(indexArgs);
    // The rows set aside are reported once here, and again by every match.
    EXPECT_EQ(made.status, kExitFailure);
    EXPECT_NE(made.err.find("vantel index: " + candidates.path() + " line 53: "), std::string::npos) << made.err;
    ASSERT_TRUE(std::filesystem::exists(index));

    const std::vector<std::vector<std::string_view>> matchOptions = {
        {"--method", "0", "--threshold", "60"},
        {"--method", "1", "--threshold", "80", "--top", "2"},
        {"--method", "2", "--threshold", "70", "--format", "json", "--unmatched"},
        {"--method", "3", "--threshold", "90", "--format", "csv"},
        {"--method", "99", "--threshold", "50", "--top", "1"},
        {"--threshold", "85", "--explain"}};
    for (const std::vector<std::string_view>& options : matchOptions) {
      std::vector<std::string_view> args = {"match", "--threads", "3"};
      args.insert(args.end(), records.begin(), records.end());
      args.insert(args.end(), options.begin(), options.end());
      std::vector<std::string_view> withFile = args, withIndex = args;
      withFile.insert(withFile.end(), {queriesPath, candidatesPath});
      withIndex.insert(withIndex.end(), {"--index", index, queriesPath});
      const CliRun expected = RunWith(withFile);
      const CliRun run = RunWith(withIndex);
      SCOPED_TRACE(testing::PrintToString(withIndex));
      EXPECT_GT(std::count(expected.out.begin(), expected.out.end(), '\n'), 5);
      EXPECT_EQ(run.out, expected.out);
      EXPECT_EQ(run.err, expected.err);
      EXPECT_EQ(run.status, expected.status);
    }
  }
}

TEST(IndexCommand, RefusesADamagedIndexNamingIt) {
  const TempFile candidates("Smith\nJones\n", "names.txt");
  const std::string index = Beside(candidates, "names.vidx");
  ASSERT_EQ(RunWith({"index", candidates.path(), "-o", index}).status, kExitOk);
  std::string bytes;
  {
    std::ifstream in(index, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string cut = Beside(candidates, "cut.vidx");
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  const CliRun run = RunWith({"match", "--index", cut, "-"}, "Smyth\n");
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "vantel match: " + cut + ": is truncated: " + std::to_string(bytes.size() / 2) + " bytes of " +
                         std::to_string(bytes.size()) + "\n");

  const CliRun folder =
      RunWith({"match", "--index", std::filesystem::path(index).parent_path().string(), "-"}, "Smyth\n");
  EXPECT_EQ(folder.status, kExitFailure);
  EXPECT_NE(folder.err.find("is a directory"), std::string::npos) << folder.err;
}

TEST(IndexCommand, RefusesABadCommandLineNamingTheArgument) {
  const TempFile candidates("Smith\n", "names.txt");
  const std::string index = Beside(candidates, "names.vidx");
  const std::string candidatesPath = candidates.path();
  struct Case {
    std::vector<std::string_view> args;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{"index", candidatesPath}, "-o NAME.vidx"},
      {{"index", "-o", index}, "expected one FILE, got 0"},
      {{"index", candidatesPath, candidatesPath, "-o", index}, "expected one FILE, got 2"},
      {{"index", "--top", "3", candidatesPath, "-o", index}, "unknown option '--top'"},
      {{"match", "--index", index, "-", candidatesPath}, "with --index, expected QUERIES alone, got 2"},
      {{"match", "--index", index}, "with --index, expected QUERIES alone, got 0"},
      {{"match", "--index", index, "--groups", "-"}, "--groups"},
      {{"match", "--index", index, "--nicknames", "-"}, "the options of names do not go with --index"},
  };
  for (const Case& test : cases) {
    const CliRun run = RunWith(test.args);
    EXPECT_EQ(run.status, kExitUsage) << test.says;
    EXPECT_NE(run.err.find(test.says), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(index));
}

TEST(IndexCommand, ReportsAnIndexItCannotWrite) {
  const TempFile candidates("Smith\n", "names.txt");
  const std::string index = Beside(candidates, "no-such-folder/names.vidx");
  const CliRun run = RunWith({"index", candidates.path(), "-o", index});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.err, "vantel index: cannot write the index " + index + "\n");
}

TEST(IndexCommand, IsListedAndAnswersHelp) {
  EXPECT_NE(RunWith({"--help"}).out.find("  index     "), std::string::npos);
  const CliRun help = RunWith({"index", "--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_EQ(help.out.rfind("Usage: vantel index [OPTIONS] FILE -o NAME.vidx\n", 0), 0u);
}

}  // namespace
}  // namespace vantel::cli
