// vantel match on record files: columns, ids, carried fields, groups,
// unmatched rows, explanations and the rules for bad rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Commands.h"
#include "tests/cli/JsonLine.h"
#include "tests/cli/RunCommand.h"
#include "vantel/CompareUS.h"

namespace vantel::cli {
namespace {

std::string Answer(std::string_view first, std::string_view second, std::int16_t method) {
  CompareUS comparer;
  return FormatAnswer(comparer.Compare(first, second, method));
}

const std::string kCustomers =
    "\xEF\xBB\xBF"
    "id,name,city\r\n"
    "c1,Catherine Johnson,Paris\r\n"
    "c2,Jeffrey Baker,\"Lyon, France\"\r\n"
    "c3,Katherine Johnson,Nice\r\n"
    "c4,Geoffrey Baker,\"The \"\"Old\"\" Town\"\r\n"
    "c5,Zoe Quist,Oslo\r\n"
    "c6,Catharine Jonson,Rome\r\n";

TEST(RecordCommand, WritesDuplicateGroupsWithIdsAndCarriedFields) {
  const TempFile customers(kCustomers, "customers.csv");
  const CliRun run = RunWith(
      {"match", "--groups", "--column", "name", "--id", "id", "--keep", "city", "--threshold", "85", customers.path()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  const std::string cathy = Answer("Catherine Johnson", "Katherine Johnson", 0);
  const std::string jeff = Answer("Jeffrey Baker", "Geoffrey Baker", 0);
  // Groups are numbered by their first rows; each member names its best partner.
  EXPECT_EQ(run.out,
            "group\tid\tname\tcity\tpartner_id\tanswer\n"
            "1\tc1\tCatherine Johnson\tParis\tc3\t" +
                cathy + "\n" + "1\tc3\tKatherine Johnson\tNice\tc1\t" + cathy + "\n" +
                "1\tc6\tCatharine Jonson\tRome\tc1\t" + Answer("Catherine Johnson", "Catharine Jonson", 0) + "\n" +
                "2\tc2\tJeffrey Baker\tLyon, France\tc4\t" + jeff + "\n" +
                "2\tc4\tGeoffrey Baker\tThe \"Old\" Town\tc2\t" + jeff + "\n");

  const CliRun all = RunWith(
      {"match", "--groups", "--all", "--column", "2", "--threshold", "85", "--format", "csv", customers.path()});
  EXPECT_EQ(all.status, kExitOk) << all.err;
  EXPECT_EQ(all.out,
            "group,row,name,partner_row,answer\r\n"
            "1,1,Catherine Johnson,3," +
                cathy + "\r\n" + "1,3,Katherine Johnson,1," + cathy + "\r\n" + "1,6,Catharine Jonson,1," +
                Answer("Catherine Johnson", "Catharine Jonson", 0) + "\r\n" + "2,2,Jeffrey Baker,4," + jeff + "\r\n" +
                "2,4,Geoffrey Baker,2," + jeff + "\r\n" + "3,5,Zoe Quist,,\r\n");  // every row once
}

TEST(RecordCommand, LinksTwoFilesWritingEveryQueryRowWithUnmatched) {
  const TempFile queries("name;ref\nKathryn Jonson;q1\nNobody Atall;q2\nJeff Baker;q3\n", "queries.csv");
  const TempFile candidates(kCustomers, "customers.csv");
  const CliRun run = RunWith({"match", "--delimiter", ";", "--column", "name", "--top", "1", "--threshold", "70",
                              "--unmatched", "--format", "json", queries.path(), candidates.path()});
  // The candidates' delimiter is ';' too, so their rows hold one field: each is short of "name".
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("no column named 'name'; the header has: id,name,city"), std::string::npos) << run.err;

  const TempFile same("id,name,city\nq1,Kathryn Jonson,Bergen\nq2,Nobody Atall,\nq3,Jeff Baker,Lyon\n", "q.csv");
  const CliRun linked =
      RunWith({"match", "--column", "name", "--id", "id", "--keep", "city", "--top", "1", "--threshold", "70",
               "--unmatched", "--format", "json", same.path(), candidates.path()});
  EXPECT_EQ(linked.status, kExitOk) << linked.err;
  EXPECT_EQ(linked.out,
            "{\"query_id\":\"q1\",\"candidate_id\":\"c6\",\"query_name\":\"Kathryn Jonson\",\"candidate_name\":"
            "\"Catharine Jonson\",\"query_city\":\"Bergen\",\"candidate_city\":\"Rome\",\"answer\":" +
                Answer("Kathryn Jonson", "Catharine Jonson", 0) +
                "}\n"
                "{\"query_id\":\"q2\",\"candidate_id\":\"\",\"query_name\":\"Nobody Atall\",\"candidate_name\":\"\","
                "\"query_city\":\"\",\"candidate_city\":\"\",\"answer\":null}\n"
                "{\"query_id\":\"q3\",\"candidate_id\":\"c2\",\"query_name\":\"Jeff Baker\",\"candidate_name\":"
                "\"Jeffrey Baker\",\"query_city\":\"Lyon\",\"candidate_city\":\"Lyon, France\",\"answer\":" +
                Answer("Jeff Baker", "Jeffrey Baker", 0) + "}\n");
  // Without ids, the row numbers are numbers, and an unmatched row's is null.
  const CliRun numbered = RunWith({"match", "--column", "name", "--threshold", "99", "--unmatched", "--format", "json",
                                   same.path(), candidates.path()});
  EXPECT_NE(numbered.out.find("{\"query_row\":2,\"candidate_row\":null,"), std::string::npos) << numbered.out;
  EXPECT_EQ(std::count(numbered.out.begin(), numbered.out.end(), '\n'), 3);
}

TEST(RecordCommand, ExplainsEachAnswerByItsMeasuresAndForms) {
  const CliRun run = RunWith({"match", "--explain", "--method", "2", "--threshold", "0", "-"}, "Cat\ncat\n");
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out, "1\t2\tCat\tcat\t" + Answer("Cat", "cat", 2) + "\t" + Answer("Cat", "cat", 3) + "\t" +
                         Answer("Cat", "cat", 99) + "\tCat\tkat\n");
  EXPECT_EQ(RunWith({"phonetic", "Cat", "cat"}).out, "Cat\nkat\n");

  const CliRun explained = RunWith({"compare", "--explain", "Catherine", "Kathryn"});
  EXPECT_EQ(explained.status, kExitOk);
  std::string expected = "sound\t" + Answer("Catherine", "Kathryn", 3) + "\nspelling\t" +
                         Answer("Catherine", "Kathryn", 99) + "\nphonetic1\t" + RunWith({"phonetic", "Catherine"}).out +
                         "phonetic2\t" + RunWith({"phonetic", "Kathryn"}).out;
  for (const std::string_view method : {"0", "1", "2", "3", "99"}) {
    expected +=
        "method " + std::string(method) + "\t" + RunWith({"compare", "--method", method, "Catherine", "Kathryn"}).out;
  }
  EXPECT_EQ(explained.out, expected);
}

TEST(RecordCommand, ReportsBadRowsWithTheirLinesAndMatchesTheRest) {
  const std::string text =
      "id\tname\n"
      "1\tSmith\n"
      "2\n"    // too few fields
      "3\t\n"  // an empty name
      "4\t" +
      std::string(71, 'x') + "\n" +
      "5\t\xff\n"         // not UTF-8
      "6\t\"Smyth\n\"\n"  // a name spanning two lines
      "7\tSmith\n"
      "8\t\"open\n";
  const TempFile file(text, "people.tsv");
  const CliRun run =
      RunWith({"match", "--column", "name", "--id", "id", "--method", "99", "--threshold", "70", file.path()});
  EXPECT_EQ(run.status, kExitFailure);
  const std::string name = file.path();
  EXPECT_EQ(run.err, "vantel match: " + name + " line 3: too few fields: 1 of 2\n" + "vantel match: " + name +
                         " line 4: empty string\n" + "vantel match: " + name +
                         " line 5: longer than 70 UTF-16 code units (71)\n" + "vantel match: " + name +
                         " line 6: not valid UTF-8 (byte 1)\n" + "vantel match: " + name +
                         " line 10: a quoted field is still open at the end of the file\n");
  // The name field is written back as it was, its line break escaped as TSV needs.
  EXPECT_EQ(run.out,
            "query_id\tcandidate_id\tquery_name\tcandidate_name\tanswer\n"
            "1\t7\tSmith\tSmith\t100\n"
            "1\t6\tSmith\tSmyth\\n\t" +
                Answer("Smith", "Smyth\n", 99) + "\n" + "6\t7\tSmyth\\n\tSmith\t" + Answer("Smyth\n", "Smith", 99) +
                "\n");
}

TEST(RecordCommand, RefusesOptionsThatDoNotFit) {
  const TempFile customers(kCustomers, "customers.csv");
  const TempFile list("Ann\n");
  const std::string path = customers.path(), listPath = list.path();
  struct Case {
    std::vector<std::string_view> args;
    std::string mentions;
  } const cases[] = {
      {{"match", "--column", "email", path},
       "--column: " + path + ": no column named 'email'; the header has: id, name, city"},
      {{"match", "--keep", "city,zip", path}, "--keep: " + path + ": no column named 'zip'"},
      {{"match", "--keep", "city,,zip", path}, "--keep: 'city,,zip' has an empty name"},
      {{"match", "--id", "id", listPath}, "--id and --keep need a CSV or TSV file"},
      {{"match", "--groups", path, path}, "--groups finds the duplicates within one file"},
      {{"match", "--all", path}, "--all goes with --groups"},
      {{"match", "--unmatched", path}, "--unmatched goes with a CANDIDATES file"},
      {{"match", "--groups", "--top", "2", path}, "--top does not go with --groups"},
      {{"match", "--input", "xml", path}, "--input: 'xml' is not lines, csv or tsv"},
      {{"match", "--delimiter", ";;", path}, "--delimiter: ';;' is not one character"},
      {{"match", "--no-header", "--column", "name", path}, "(the file has no header row)"},
      // A number the header has no column for, like a name it lacks.
      {{"match", "--column", "5", path}, "--column: " + path + ": there is no column 5: the header has 3 columns"},
      {{"match", "--keep", "city,4", path}, "--keep: " + path + ": there is no column 4: the header has 3 columns"},
      {{"match", "--column", "name", "--column", "city", path}, "--column is given twice"},
      {{"match", "--id", "id", "--id=id", path}, "--id is given twice"},
      {{"compare", "--explain", "--pairs", "-"}, "--explain takes STRING1 and STRING2"},
  };
  for (const Case& c : cases) {
    const CliRun run = RunWith(c.args);
    EXPECT_EQ(run.status, kExitUsage) << c.mentions;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
  }
}

TEST(RecordCommand, ReadsTheFormatThatTheFileNameOrInputSays) {
  const TempFile tsv("name\tx\nAnn\t1\nAnne\t2\n", "names.tsv");
  const TempFile named("name,x\nAnn,1\nAnne,2\n", "names.txt");
  std::string pair = "\t";
  pair += Answer("Ann", "Anne", 0);
  EXPECT_EQ(RunWith({"match", tsv.path()}).out,
            "query_row\tcandidate_row\tquery_name\tcandidate_name\tanswer\n1\t2\tAnn\tAnne" + pair + "\n");
  EXPECT_EQ(RunWith({"match", "--input", "csv", named.path()}).out,
            "query_row\tcandidate_row\tquery_name\tcandidate_name\tanswer\n1\t2\tAnn\tAnne" + pair + "\n");
  // Read as lines, each line is a string of its own; its header is a string too.
  EXPECT_EQ(RunWith({"match", "--threshold", "99", named.path()}).out, "");
  EXPECT_EQ(RunWith({"match", "--no-header", "--input", "csv", "--threshold", "0", "-"}, "Ann,1\nAnne,2\n").out,
            "1\t2\tAnn\tAnne" + pair + "\n");
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Every field that reaches the output is text; a header name that is not is
// written with U+FFFD for each bad byte, so that every line parses.
TEST(RecordCommand, WritesJsonLinesThatAllParse) {
  const std::string kReplaced = "\xef\xbf\xbd";  // U+FFFD
  struct Case {
    std::string name, text;
    std::vector<std::string_view> options;
    std::string problem;            // on standard error; empty for none
    std::vector<std::string> keys;  // of every line
  } const cases[] = {
      {"a kept field",
       "id,name,city\n1,Jon Smith,Par\xffis\n2,John Smith,Lyon\n3,Jon Smyth,Nice\n",
       {"--column", "name", "--id", "id", "--keep", "city"},
       "line 2: not valid UTF-8 (byte 4) in the --keep field 'city'",
       {"query_id", "candidate_id", "query_name", "candidate_name", "query_city", "candidate_city", "answer"}},
      {"an id",
       "id,name\n\xc3(,Jon Smith\n2,John Smith\n3,Jon Smyth\n",
       {"--column", "name", "--id", "id"},
       "line 2: not valid UTF-8 (byte 1) in the --id field 'id'",
       {"query_id", "candidate_id", "query_name", "candidate_name", "answer"}},
      {"a field without a header",
       "1,Jon Smith,Par\xe9\n2,John Smith,Lyon\n3,Jon Smyth,Nice\n",
       {"--no-header", "--column", "2", "--keep", "3"},
       "line 1: not valid UTF-8 (byte 4) in the --keep field 3",
       {"query_row", "candidate_row", "query", "candidate", "query_field3", "candidate_field3", "answer"}},
      {"header names",
       "i\xff\x64,na\xe9\x6d\x65,city\n1,Jon Smith,Paris\n2,John Smith,Lyon\n",
       {"--column", "2", "--id", "1", "--keep", "city"},
       "",
       {"query_i" + kReplaced + "d", "candidate_i" + kReplaced + "d", "query_na" + kReplaced + "me",
        "candidate_na" + kReplaced + "me", "query_city", "candidate_city", "answer"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempFile file(c.text, "people.csv");
    std::vector<std::string_view> args = {"match", "--format", "json", "--threshold", "50"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const std::string path = file.path();
    args.push_back(path);
    const CliRun run = RunWith(args);
    EXPECT_EQ(run.status, c.problem.empty() ? kExitOk : kExitFailure) << run.err;
    if (c.problem.empty()) {
      EXPECT_EQ(run.err, "");
    } else {
      EXPECT_EQ(run.err, "vantel match: " + file.path() + " " + c.problem + "\n");
    }
    const std::vector<std::string> lines = Lines(run.out);
    EXPECT_FALSE(lines.empty());  // the good rows still pair up
    for (const std::string& line : lines) {
      const auto object = testing::ParseJsonLine(line);
      ASSERT_TRUE(object.has_value()) << line;
      std::vector<std::string> keys;
      for (const auto& [key, value] : *object) keys.push_back(key);
      EXPECT_EQ(keys, c.keys);
    }
  }
}

TEST(RecordCommand, NamesEachColumnOnceAndCarriesEveryKeptField) {
  const TempFile file("id,name,name,city\nc1,Ann Lee,Anne,Oslo\nc2,Ann Leigh,Anna,Rome\n", "people.csv");
  const std::string path = file.path();
  // A name the header has twice chooses no column; a number still does.
  for (const std::string_view option : {"--column", "--id", "--keep"}) {
    const CliRun ambiguous = RunWith({"match", option, "name", path});
    EXPECT_EQ(ambiguous.status, kExitUsage);
    EXPECT_NE(ambiguous.err.find(std::string(option) + ": " + path +
                                 ": 'name' names more than one column (2 and 3): give its number"),
              std::string::npos)
        << ambiguous.err;
  }
  // Repeated --keep adds to the fields kept, in order, and a column that
  // shares its name with another is told apart by its number.
  const CliRun run = RunWith(
      {"match", "--column", "2", "--keep", "city", "--keep", "id,3", "--threshold", "50", "--format", "csv", path});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.substr(0, run.out.find("\r\n")),
            "query_row,candidate_row,query_name_2,candidate_name_2,query_city,query_id,query_name_3,candidate_city,"
            "candidate_id,candidate_name_3,answer");
  EXPECT_NE(run.out.find("\r\n1,2,Ann Lee,Ann Leigh,Oslo,c1,Anne,Rome,c2,Anna,"), std::string::npos) << run.out;
}

TEST(RecordCommand, ReportsAHeaderRowWhoseQuoteIsNeverClosed) {
  const TempFile file("id,\"name\n1,Ann\n2,Anne\n", "people.csv");
  const std::string path = file.path();
  for (const std::vector<std::string_view>& args : {std::vector<std::string_view>{"match", "--column", "name", path},
                                                    std::vector<std::string_view>{"match", path}}) {
    const CliRun run = RunWith(args);
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vantel match: " + path +
                           " line 1: a quoted field of the header row is still open at the end of the file\n");
  }
}

// A string too long to match is measured, not converted, and reported as the
// matcher reports one just past the limit.
TEST(RecordCommand, ReportsLongStringsAlikeHoweverLong) {
  const std::string smile = "\xf0\x9f\x98\x80";
  struct Case {
    std::string field, problem;
  } const cases[] = {
      {std::string(71, 'x'), "longer than 70 UTF-16 code units (71)"},
      {std::string(1000, 'x'), "longer than 70 UTF-16 code units (1000)"},
      {[&] {
         std::string text;
         for (int i = 0; i < 100; ++i) text += "\xe4\xb8\xad";
         return text;
       }(),
       "longer than 70 UTF-16 code units (100)"},
      {[&] {
         std::string text;
         for (int i = 0; i < 36; ++i) text += smile;
         return text;
       }(),
       "longer than 70 UTF-16 code units (72)"},
      {std::string(500, 'x') + "\xff", "not valid UTF-8 (byte 501)"},
  };
  for (const Case& c : cases) {
    const TempFile file("name\nAnn\n" + c.field + "\nAnne\n", "people.csv");
    const CliRun run = RunWith({"match", "--threshold", "50", file.path()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_EQ(run.err, "vantel match: " + file.path() + " line 3: " + c.problem + "\n");
    EXPECT_EQ(run.out.substr(run.out.find('\n') + 1, 4), "1\t3\t");  // Ann and Anne, as the rows they are
  }
}

TEST(RecordCommand, ListsAScreenfulOfTheNamesOfAWideHeader) {
  std::string header;
  for (int i = 1; i <= 1000; ++i) header += (i == 1 ? "c" : ",c") + std::to_string(i);
  const TempFile file(header + "\n", "wide.csv");
  const CliRun run = RunWith({"match", "--column", "name", file.path()});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("the header has: c1, c2, "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(", c40 and 960 more\n"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("c41"), std::string::npos);
}

}  // namespace
}  // namespace vantel::cli
