#include "vantel/Records.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vantel {
namespace {

using Rows = std::vector<std::vector<std::string>>;

struct Read {
  std::vector<std::string> header;
  Rows rows;
  std::vector<std::size_t> lines;
  std::vector<RecordProblem> problems;
};

// Feeds the text in pieces of `piece` bytes, so that every split is tried.
Read ReadInPieces(const std::string& text, const RecordOptions& options, std::size_t piece) {
  RecordReader reader(options);
  for (std::size_t at = 0; at < text.size(); at += piece) reader.Feed(std::string_view(text).substr(at, piece));
  const RecordTable table = reader.Finish();
  Read read{table.header(), {}, {}, reader.problems()};
  for (std::size_t row = 0; row < table.rowCount(); ++row) {
    std::vector<std::string> fields;
    for (std::size_t column = 0; column < table.fieldCount(row); ++column) {
      fields.emplace_back(table.field(row, column));
    }
    read.rows.push_back(fields);
    read.lines.push_back(table.line(row));
  }
  return read;
}

constexpr RecordOptions kCsv{RecordFormat::Csv, 0, true};
constexpr RecordOptions kCsvNoHeader{RecordFormat::Csv, 0, false};
constexpr RecordOptions kSemicolons{RecordFormat::Csv, ';', true};
constexpr RecordOptions kTsv{RecordFormat::Tsv, 0, true};
constexpr RecordOptions kLines{RecordFormat::Lines, 0, true};

TEST(RecordReader, ReadsCsvAsRfc4180Says) {
  struct Case {
    std::string name;
    RecordOptions options;
    std::string text;
    std::vector<std::string> header;
    Rows rows;
    std::vector<std::size_t> lines;
    std::vector<RecordProblem> problems;
  } const cases[] = {
      {"plain", kCsv, "id,name\n1,Ann\n2,Bob\n", {"id", "name"}, {{"1", "Ann"}, {"2", "Bob"}}, {2, 3}, {}},
      {"no end on the last line", kCsv, "id,name\n1,Ann", {"id", "name"}, {{"1", "Ann"}}, {2}, {}},
      {"quotes", kCsv, "a,b\n\"Smith, John\",x\n", {"a", "b"}, {{"Smith, John", "x"}}, {2}, {}},
      {"doubled quotes", kCsv, "a\n\"say \"\"hi\"\"\"\n", {"a"}, {{"say \"hi\""}}, {2}, {}},
      {"an empty quoted field", kCsv, "a,b\n\"\",x\n", {"a", "b"}, {{"", "x"}}, {2}, {}},
      {"line breaks inside quotes",
       kCsv,
       "a,b\n\"one\ntwo\r\nthree\",x\n4,y\n",
       {"a", "b"},
       {{"one\ntwo\r\nthree", "x"}, {"4", "y"}},
       {2, 5},
       {}},
      {"CRLF", kCsv, "a,b\r\n1,2\r\n3,4\r\n", {"a", "b"}, {{"1", "2"}, {"3", "4"}}, {2, 3}, {}},
      {"CR alone", kCsv, "a,b\r1,2\r3,4", {"a", "b"}, {{"1", "2"}, {"3", "4"}}, {2, 3}, {}},
      {"a byte-order mark", kCsv, "\xEF\xBB\xBFid,name\n1,Ann\n", {"id", "name"}, {{"1", "Ann"}}, {2}, {}},
      {"a mark that is not one", kCsv, "\xEF\xBBx\n1\n", {"\xEF\xBBx"}, {{"1"}}, {2}, {}},
      {"semicolons",
       kSemicolons,
       "id;name\n1;Smith, John\n2;\"a;b\"\n",
       {"id", "name"},
       {{"1", "Smith, John"}, {"2", "a;b"}},
       {2, 3},
       {}},
      {"ragged rows",
       kCsv,
       "a,b,c\n1\n1,2,3,4\n,,\n",
       {"a", "b", "c"},
       {{"1"}, {"1", "2", "3", "4"}, {"", "", ""}},
       {2, 3, 4},
       {}},
      {"empty lines hold no row", kCsv, "a\n\n1\r\n\r\n2\n\n", {"a"}, {{"1"}, {"2"}}, {3, 5}, {}},
      {"an unterminated quote",
       kCsv,
       "a,b\n1,x\n2,\"never\nclosed\n",
       {"a", "b"},
       {{"1", "x"}},
       {2},
       {{3, "a quoted field is still open at the end of the file"}}},
      {"an empty file", kCsv, "", {}, {}, {}, {}},
      {"a header only", kCsv, "id,name\r\n", {"id", "name"}, {}, {}, {}},
      {"no header", kCsvNoHeader, "1,Ann\n2,Bob\n", {}, {{"1", "Ann"}, {"2", "Bob"}}, {1, 2}, {}},
      {"text after a closing quote", kCsv, "a\n\"x\"y,\n", {"a"}, {{"xy", ""}}, {2}, {}},
      {"a quote inside an unquoted field", kCsv, "a\nO\"Neil\n", {"a"}, {{"O\"Neil"}}, {2}, {}},
      {"tabs",
       kTsv,
       "id\tname\n1\tSmith, John\n2\t\"a\tb\"\n",
       {"id", "name"},
       {{"1", "Smith, John"}, {"2", "a\tb"}},
       {2, 3},
       {}},
      {"lines keep everything", kLines, "\xEF\xBB\xBF\"a\",b\n\nc\r", {}, {{"\"a\",b"}, {""}, {"c"}}, {1, 2, 3}, {}},
  };
  for (const Case& c : cases) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{1000}}) {
      SCOPED_TRACE(c.name + ", in pieces of " + std::to_string(piece));
      const Read read = ReadInPieces(c.text, c.options, piece);
      EXPECT_EQ(read.header, c.header);
      EXPECT_EQ(read.rows, c.rows);
      EXPECT_EQ(read.lines, c.lines);
      EXPECT_EQ(read.problems, c.problems);
    }
  }
}

TEST(RecordReader, CountsTheLinesReadWhole) {
  RecordReader reader(kCsv);
  reader.Feed("a\n\"1\n2\"\n3");
  EXPECT_EQ(reader.linesRead(), 3u);
}

TEST(RecordTable, FindsColumnsByNameOrNumberAndListsTheNamesItHas) {
  std::vector<RecordProblem> problems;
  const RecordTable table = ReadRecords("id,name,city\n1,Ann,Oslo\n", kCsv, problems);
  EXPECT_EQ(table.ColumnIndex("name"), 1u);
  EXPECT_EQ(table.ColumnIndex("3"), 2u);
  EXPECT_EQ(table.field(0, 7), "");  // past the end of the row
  try {
    table.ColumnIndex("email");
    ADD_FAILURE() << "no error";
  } catch (const std::invalid_argument& bad) {
    EXPECT_STREQ(bad.what(), "no column named 'email'; the header has: id, name, city");
  }
  EXPECT_THROW(table.ColumnIndex("0"), std::invalid_argument);
  const RecordTable bare = ReadRecords("1,Ann\n", kCsvNoHeader, problems);
  EXPECT_EQ(bare.ColumnIndex("2"), 1u);
  EXPECT_THROW(bare.ColumnIndex("name"), std::invalid_argument);
}

}  // namespace
}  // namespace vantel
