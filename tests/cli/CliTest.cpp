#include "cli/Cli.h"
#include "cli/Commands.h"
#include "tests/cli/RunCommand.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vantel::cli {
namespace {

TEST(CompareCommand, PrintsTheShortestDecimalOfTheAnswer) {
  struct Case {
    std::vector<std::string_view> args;
    std::string out;
  } const cases[] = {
      {{"compare", "--method", "2", "cat", "kat"}, "83.33\n"},
      {{"compare", "--method=2", "cat", "kat"}, "83.33\n"},
      {{"compare", "cat", "kat"}, "100\n"},  // method 0 by default
      {{"compare", "cat", "--method", "99", "kat"}, "66.66\n"},
      {{"compare", "--method", "99", "abc", "xyz"}, "0\n"},
      {{"compare", "--method", "-5", "", "kat"}, "-1\n"},
      {{"compare", "--", "-cat", "-kat"}, "100\n"},
      {{"compare", "--method", "99", "\xc5\x81ukasz", "\xc5\x82UKASZ"}, "100\n"},
  };
  for (const Case& c : cases) {
    const CliRun run = RunWith(c.args);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "");
  }
  const std::string a43(43, 'a');
  const std::string first = a43 + std::string(17, 'b'), second = a43 + std::string(22, 'c');
  EXPECT_EQ(RunWith({"compare", "--method", "99", first, second}).out, "68.79\n");
}

// Answers take a short way to their text; it must be the general one's.
TEST(FormatAnswer, WritesTheShortestDecimalOfEveryDouble) {
  std::vector<double> answers = {-1.0, -0.0, 1.0 / 3.0, 1e300, -2.5, 100.001, 0.004, 66.666, 1e-300};
  for (int k = 0; k <= 10000; ++k) answers.push_back(static_cast<double>(k) / 100.0);
  for (int k = 0; k <= 10000; ++k) answers.push_back(std::nextafter(static_cast<double>(k) / 100.0, 200.0));
  for (const double answer : answers) {
    char expected[32];
    const auto end = std::to_chars(expected, expected + sizeof expected, answer).ptr;
    AnswerText text;
    EXPECT_EQ(FormatAnswer(answer, text), std::string_view(expected, static_cast<std::size_t>(end - expected)))
        << answer;
  }
  EXPECT_EQ(FormatAnswer(68.79), "68.79");
  EXPECT_EQ(FormatAnswer(0.05), "0.05");
  EXPECT_EQ(FormatAnswer(68.8), "68.8");
}

TEST(CompareCommand, RefusesABadCommandLineNamingTheArgument) {
  struct Case {
    std::vector<std::string_view> args;
    std::string mentions;
  } const cases[] = {
      {{"compare", "--method", "40000", "a", "b"}, "--method: '40000'"},
      {{"compare", "--method", "-32769", "a", "b"}, "--method: '-32769'"},
      {{"compare", "--method", "2x", "a", "b"}, "--method: '2x'"},
      {{"compare", "--method", "", "a", "b"}, "--method: ''"},
      {{"compare", "a", "b", "--method"}, "--method needs a value"},
      {{"compare", "a"}, "got 1 string argument"},
      {{"compare", "a", "b", "c"}, "got 3 string arguments"},
      {{"compare", "\xff", "b"}, "STRING1 is not valid UTF-8 (byte 1)"},
      {{"compare", "a", "b\xc3"}, "STRING2 is not valid UTF-8 (byte 2)"},
      {{"compare", "--colour", "a", "b"}, "unknown option '--colour'"},
      {{"compare", "--pairs", "-", "a"}, "--pairs takes no STRING"},
      {{"compare", "--pairs", "/nonexistent/pairs.tsv"}, "--pairs: cannot open '/nonexistent/pairs.tsv'"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{}, "Usage: vantel COMMAND"},
  };
  for (const Case& c : cases) {
    const CliRun run = RunWith(c.args);
    EXPECT_EQ(run.status, kExitUsage) << c.mentions;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
  }
}

TEST(CompareCommand, AnswersEachLineOfPairsAndGoesOnPastBadOnes) {
  const std::string input =
      "cat\tkat\n"
      "no tab here\n"
      "Cat\tcat\r\n"
      "a\tb\tc\n"
      "\xff\tcat\n"
      "\tkat\n"
      "last\tlast";
  const CliRun run = RunWith({"compare", "--method", "2", "--pairs", "-"}, input);
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.out,
            "cat\tkat\t83.33\n"
            "no tab here\t\n"
            "Cat\tcat\t83.33\n"
            "a\tb\tc\t\n"
            "\xff\tcat\t\n"
            "\tkat\t-1\n"
            "last\tlast\t100\n");
  EXPECT_EQ(run.err,
            "vantel compare: standard input line 2: expected two strings separated by a tab, found no tab\n"
            "vantel compare: standard input line 4: expected two strings separated by a tab, found more than one tab\n"
            "vantel compare: standard input line 5: first string is not valid UTF-8 (byte 1)\n");
}

TEST(CompareCommand, ReadsPairsFromAFile) {
  const TempFile pairs("Smith\tSmyth\nphone\tfone\n", "pairs.tsv");
  const CliRun run = RunWith({"compare", "--method", "99", "--pairs", pairs.path()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out, "Smith\tSmyth\t80\nphone\tfone\t66.66\n");
}

TEST(PhoneticCommand, PrintsOneFormPerWord) {
  // The literal is split so that the hex escape ends before the "d".
  const CliRun run = RunWith({"phonetic", "knight", "judge", "o'neil", "x-ray", "Cat",
                              "\xc5\x82\xc3\xb3"  // NOLINT(bugprone-suspicious-missing-comma)
                              "d\xc5\xba"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out,
            "nait\njhuhdjh\naaniil\nk s-rei\nCat\n\xc5\x82\xc3\xb3"
            "d\xc5\xba\n");
}

TEST(PhoneticCommand, ReadsWordsFromStandardInputAndGoesOnPastBadLines) {
  const CliRun run = RunWith({"phonetic"}, "the\r\n\xff\n\nphone\n");
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.out, "dh @\n\n\nfoun\n");
  EXPECT_EQ(run.err, "vantel phonetic: standard input line 2: not valid UTF-8 (byte 1)\n");
}

TEST(PhoneticCommand, RefusesAMalformedWordBeforePrintingAnything) {
  const CliRun run = RunWith({"phonetic", "cat", "ca\xfft"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("WORD 2 is not valid UTF-8 (byte 3)"), std::string::npos) << run.err;
}

TEST(Cli, AnswersHelpAndVersion) {
  EXPECT_EQ(RunWith({"--version"}).out, "vantel 1.0.0\n");
  for (const auto& args : {std::vector<std::string_view>{"--help"}, {"compare", "--help"}, {"phonetic", "-h"}}) {
    const CliRun run = RunWith(args);
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_NE(run.out.find("Usage: vantel"), std::string::npos);
  }
}

}  // namespace
}  // namespace vantel::cli
