#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"
#include "tests/cli/RunCommand.h"
#include "tests/matching/RandomNames.h"
#include "vantel/CompareUS.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

std::string Answer(std::u16string_view first, std::u16string_view second, std::int16_t method) {
  CompareUS comparer;
  return FormatAnswer(comparer.Compare(first, second, method));
}

TEST(MatchCommand, FindsTheDuplicatesOfAListAndReportsTheLinesItSetsAside) {
  const std::string input =
      "Smith\n"
      "Smyth\r\n"
      "\n" +
      std::string(71, 'x') +
      "\n"
      "Jon\n"
      "\xff\xfe\n"
      "John\n"
      "smith";
  // Method 99: Smith and Smyth share S, M, T, H (80); Jon and John 6/7.
  const CliRun run = RunWith({"match", "--method", "99", "-"}, input);
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.out,
            "1\t8\tSmith\tsmith\t100\n"
            "1\t2\tSmith\tSmyth\t80\n"
            "2\t8\tSmyth\tsmith\t80\n"
            "5\t7\tJon\tJohn\t85.71\n");
  EXPECT_EQ(run.err,
            "vantel match: standard input line 3: empty string\n"
            "vantel match: standard input line 4: longer than 70 UTF-16 code units (71)\n"
            "vantel match: standard input line 6: not valid UTF-8 (byte 1)\n");
}

TEST(MatchCommand, LinksTwoListsNumberingTheLinesOfEach) {
  const TempFile candidates("Jonn\n\nSmythe\nJon\n");
  const std::string candidatesPath = candidates.path();
  const CliRun run = RunWith({"match", "--threshold", "50", "--method", "99", "-", candidatesPath}, "Smith\nJon\n");
  EXPECT_EQ(run.status, kExitFailure);  // the empty candidate line
  EXPECT_EQ(run.out, "1\t3\tSmith\tSmythe\t" + Answer(u"Smith", u"Smythe", 99) +
                         "\n"
                         "2\t4\tJon\tJon\t100\n"
                         "2\t1\tJon\tJonn\t85.71\n");
  EXPECT_EQ(run.err, "vantel match: " + candidates.path() + " line 2: empty string\n");
}

TEST(MatchCommand, KeepsTheBestOfEachQueryAndSaysNothingWhenAllIsWell) {
  const TempFile names("Catherine\nKathryn\nCatharine\nKatherine\nCathryn\n");
  const std::string path = names.path();
  const CliRun all = RunWith({"match", "--method", "2", "--threshold", "0", path});
  const CliRun best = RunWith({"match", "--method", "2", "--threshold", "0", "--top", "1", path});
  EXPECT_EQ(all.status, kExitOk);
  EXPECT_EQ(best.status, kExitOk);
  EXPECT_EQ(all.err + best.err, "");  // no bar either: standard error is no terminal here
  // --top 1 keeps the first line of each query's block in the full output.
  std::istringstream lines(all.out);
  std::string line, expected, lastQuery;
  while (std::getline(lines, line)) {
    const std::string query = line.substr(0, line.find('\t'));
    if (query != lastQuery) expected += line + "\n";
    lastQuery = query;
  }
  EXPECT_EQ(best.out, expected);
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 10);
}

// The command line, the file of pairs and the matcher must agree on every answer.
TEST(MatchCommand, GivesTheAnswersOfCompareForEveryPair) {
  std::string list;
  const auto names = matching::testing::RandomNames(12, 14);
  for (const std::u16string& name : names) list += Utf16ToUtf8(name) + "\n";
  for (const std::string_view method : {"0", "1", "2", "3", "99"}) {
    SCOPED_TRACE(method);
    const CliRun matched = RunWith({"match", "--method", method, "--threshold", "0", "--threads", "3", "-"}, list);
    ASSERT_EQ(matched.status, kExitOk) << matched.err;
    // The query, the candidate and the answer of each line, as --pairs would write them.
    std::string pairs, expected;
    std::istringstream lines(matched.out);
    for (std::string line; std::getline(lines, line);) {
      const std::string strings = line.substr(line.find('\t', line.find('\t') + 1) + 1);
      pairs += strings.substr(0, strings.rfind('\t')) + "\n";
      expected += strings + "\n";
    }
    EXPECT_EQ(std::count(pairs.begin(), pairs.end(), '\n'), 14 * 13 / 2);
    const CliRun compared = RunWith({"compare", "--method", method, "--pairs", "-"}, pairs);
    EXPECT_EQ(compared.out, expected);
    EXPECT_EQ(RunWith({"match", "--method", method, "--threshold", "0", "--threads", "1", "-"}, list).out, matched.out);
    // 0 is one per processor, as on every surface.
    EXPECT_EQ(RunWith({"match", "--method", method, "--threshold", "0", "--threads", "0", "-"}, list).out, matched.out);
  }
}

TEST(MatchCommand, WritesCsvAsRfc4180Says) {
  const std::string input = "Smith, John\n\"Jack\" Smith\nSmith, Jon\n";
  const CliRun run = RunWith({"match", "--format", "csv", "--threshold", "0", "--method", "99", "-"}, input);
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.out, "1,3,\"Smith, John\",\"Smith, Jon\"," + Answer(u"Smith, John", u"Smith, Jon", 99) + "\r\n" +
                         "1,2,\"Smith, John\",\"\"\"Jack\"\" Smith\"," + Answer(u"Smith, John", u"\"Jack\" Smith", 99) +
                         "\r\n" + "2,3,\"\"\"Jack\"\" Smith\",\"Smith, Jon\"," +
                         Answer(u"\"Jack\" Smith", u"Smith, Jon", 99) + "\r\n");
}

TEST(MatchCommand, WritesJsonLinesWithEscapedStrings) {
  const std::string input = "say \"hi\"\\\tz\x01\nsay \"hi\"\\\tz\x01\n\xc5\x81ukasz\n\xc5\x82UKASZ\n";
  const CliRun run = RunWith({"match", "--format", "json", "--method", "99", "-"}, input);
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.out,
            "{\"query_line\":1,\"candidate_line\":2,\"query\":\"say \\\"hi\\\"\\\\\\tz\\u0001\","
            "\"candidate\":\"say \\\"hi\\\"\\\\\\tz\\u0001\",\"answer\":100}\n"
            "{\"query_line\":3,\"candidate_line\":4,\"query\":\"\xc5\x81ukasz\",\"candidate\":\"\xc5\x82UKASZ\","
            "\"answer\":100}\n");
}

TEST(MatchCommand, KeepsEveryTsvRecordOnOneLineOfFiveFields) {
  const CliRun run = RunWith({"match", "--method", "99", "-"}, "a\tb\\c\na\tb\\c\n");
  EXPECT_EQ(run.out, "1\t2\ta\\tb\\\\c\ta\\tb\\\\c\t100\n");
}

TEST(MatchCommand, RefusesABadCommandLineNamingTheArgument) {
  const TempFile names("Ann\n");
  const std::string namesPath = names.path();
  struct Case {
    std::vector<std::string_view> args;
    std::string mentions;
  } const cases[] = {
      {{"match", "--threshold", "101", "-"}, "--threshold: '101' is not a number from 0 to 100"},
      {{"match", "--threshold", "-1", "-"}, "--threshold: '-1'"},
      {{"match", "--threshold", "nan", "-"}, "--threshold: 'nan'"},
      {{"match", "--threshold", "8O", "-"}, "--threshold: '8O'"},
      {{"match", "--top", "0", "-"}, "--top: '0' is not a whole number from 1"},
      {{"match", "--top", "-3", "-"}, "--top: '-3'"},
      {{"match", "--threads", "-1", "-"},
       "--threads: '-1' is not 0 (one per processor) or a whole number from 1 to 1024"},
      {{"match", "--threads", "1025", "-"}, "--threads: '1025'"},
      {{"match", "--format", "xml", "-"}, "--format: 'xml' is not tsv, csv or json"},
      {{"match", "--method", "x", "-"}, "--method: 'x'"},
      {{"match", "--quiet=yes", "-"}, "--quiet takes no value"},
      {{"match", "--colour", "-"}, "unknown option '--colour'"},
      {{"match"}, "got 0 file arguments"},
      {{"match", "a", "b", "c"}, "got 3 file arguments"},
      {{"match", "-", "-"}, "standard input (-) can be read for QUERIES or for CANDIDATES, not both"},
      {{"match", "/nonexistent/queries.txt"}, "QUERIES: cannot open '/nonexistent/queries.txt'"},
      {{"match", namesPath, "/nonexistent/c.txt"}, "CANDIDATES: cannot open '/nonexistent/c.txt'"},
  };
  for (const Case& c : cases) {
    const CliRun run = RunWith(c.args);
    EXPECT_EQ(run.status, kExitUsage) << c.mentions;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Run 'vantel match --help'"), std::string::npos) << run.err;
  }
}

TEST(MatchCommand, AnswersHelp) {
  for (const auto& args :
       {std::vector<std::string_view>{"match", "--help"}, {"match", "-h", "x", "y", "z"}, {"help", "match"}}) {
    const CliRun run = RunWith(args);
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_EQ(run.out.rfind("Usage: vantel match [OPTIONS] QUERIES [CANDIDATES]\n", 0), 0u) << run.out;
  }
  EXPECT_NE(RunWith({"--help"}).out.find("\n  match "), std::string::npos);
  EXPECT_EQ(RunWith({"help", "compare"}).out.rfind("Usage: vantel compare", 0), 0u);
  EXPECT_EQ(RunWith({"help", "frobnicate"}).status, kExitUsage);
}

TEST(FormatProgress, ShowsPairsRateAndTimeLeft) {
  using std::chrono::duration;
  struct Case {
    std::uint64_t done, total;
    double seconds;
    std::string expected;
  } const cases[] = {
      {0, 100, 0.0, "[....................]   0%  0/100 pairs  -- pairs/s  -- left"},
      {50, 100, 1.0, "[##########..........]  50%  50/100 pairs  50 pairs/s  1s left"},
      {1234567, 4000000, 1.0, "[######..............]  30%  1234567/4000000 pairs  1.23M pairs/s  3s left"},
      {999, 90000, 1.0, "[....................]   1%  999/90000 pairs  999 pairs/s  1m30s left"},
      {1000, 7301000, 1.0, "[....................]   0%  1000/7301000 pairs  1k pairs/s  2h01m left"},
      {7, 7, 2.0, "[####################] 100%  7/7 pairs  4 pairs/s  0s left"},
      {0, 0, 1.0, "[####################] 100%  0/0 pairs  -- pairs/s  -- left"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatProgress(c.done, c.total, duration<double>(c.seconds)), c.expected);
}

TEST(ProgressBar, StaysQuietAtFirst) {
  std::ostringstream terminal;
  ProgressBar bar(terminal, 10, std::chrono::hours(1));
  bar.Update(3);
  bar.Clear();
  EXPECT_EQ(terminal.str(), "");
}

TEST(ProgressBar, DrawsOverItsOwnLineAndClearsIt) {
  std::ostringstream terminal;
  ProgressBar bar(terminal, 10, std::chrono::milliseconds(0));
  bar.Update(0);
  bar.Update(5);  // within a tenth of a second of the first: not drawn
  bar.Clear();
  bar.Clear();  // nothing left to clear
  EXPECT_EQ(terminal.str(), "\r[....................]   0%  0/10 pairs  -- pairs/s  -- left\x1b[K\r\x1b[K");
}

}  // namespace
}  // namespace vantel::cli
