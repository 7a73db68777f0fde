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

TEST(RecordTable, RefusesColumnsItCannotTellApart) {
  std::vector<RecordProblem> problems;
  const RecordTable table = ReadRecords("id,name,name\n1,Ann,Anne\n", kCsv, problems);
  std::string wide;
  for (int i = 1; i <= 45; ++i) wide += (i == 1 ? "n" : ",n") + std::to_string(i);
  const RecordTable wideTable = ReadRecords(wide + "\n", kCsv, problems);
  struct Case {
    const RecordTable* table;
    std::string_view asked;
    std::string message;
  } const cases[] = {
      {&table, "name", "'name' names more than one column (2 and 3): give its number"},
      {&table, "4", "there is no column 4: the header has 3 columns"},
      {&table, "0", "no column named '0'; the header has: id, name, name"},
      {&wideTable, "x",
       "no column named 'x'; the header has: n1, n2, n3, n4, n5, n6, n7, n8, "
       "n9, n10, n11, n12, n13, n14, n15, n16, "
       "n17, n18, n19, n20, n21, n22, n23, n24, n25, n26, n27, n28, n29, n30, "
       "n31, n32, n33, n34, n35, n36, n37, "
       "n38, n39, n40 and 5 more"},
  };
  for (const Case& c : cases) {
    try {
      c.table->ColumnIndex(c.asked);
      ADD_FAILURE() << "no error for " << c.asked;
    } catch (const std::invalid_argument& bad) {
      EXPECT_EQ(bad.what(), c.message);
    }
  }
  EXPECT_EQ(table.ColumnIndex("3"), 2u);  // a number still chooses
  EXPECT_EQ(wideTable.ColumnIndex("45"), 44u);
}

TEST(RecordReader, SaysWhenTheHeaderRowIsWhatIsLeftOpen) {
  for (const std::size_t piece : {std::size_t{1}, std::size_t{1000}}) {
    const Read read = ReadInPieces("\n\nid,\"name\n1,Ann\n", kCsv, piece);
    EXPECT_EQ(read.header, std::vector<std::string>{});
    EXPECT_EQ(read.rows, Rows{});
    const std::vector<RecordProblem> expected = {{3,
                                                  "a quoted field of the header row is still open at the end of the "
                                                  "file"}};
    EXPECT_EQ(read.problems, expected);
  }
  std::vector<RecordProblem> problems;
  const RecordTable table = ReadRecords("id,\"name\n1,Ann\n", kCsv, problems);
  ASSERT_TRUE(table.headerProblem().has_value());
  EXPECT_EQ(table.headerProblem()->line, 1u);
  try {
    table.ColumnIndex("name");
    ADD_FAILURE() << "no error";
  } catch (const std::invalid_argument& bad) {
    EXPECT_STREQ(bad.what(),
                 "line 1: a quoted field of the header row is "
                 "still open at the end of the file");
  }
  EXPECT_FALSE(ReadRecords("id,name\n1,\"Ann\n", kCsv, problems).headerProblem().has_value());
}

}  // namespace
}  // namespace vantel
