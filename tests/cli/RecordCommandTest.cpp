// vantel match on record files: columns, ids, carried fields, groups,
// unmatched rows, explanations and the rules for bad rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Commands.h"
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

}  // namespace
}  // namespace vantel::cli
