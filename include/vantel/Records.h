// Record files: the rows of a CSV or TSV file (or of a plain list, a string
// a line), read into one table that holds every field once, so that a
// column can be matched and the other fields carried to the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantel {

enum class RecordFormat : std::uint8_t {
  Lines,  // one field a line, taken as it stands
  Csv,    // RFC 4180: fields split by the delimiter, quoted fields may hold it, quotes ("") and line breaks
  Tsv,    // the same with a tab as the delimiter, as spreadsheets write it
};

struct RecordOptions {
  RecordFormat format = RecordFormat::Lines;
  char delimiter = 0;  // 0: ',' for CSV, a tab for TSV
  bool header = true;  // CSV and TSV: the first row names the fields
};

// A row that cannot be read, and where it began (1-based line of the file).
struct RecordProblem {
  std::size_t line;
  std::string reason;

  friend bool operator==(const RecordProblem& a, const RecordProblem& b) {
    return a.line == b.line && a.reason == b.reason;
  }
};

// The rows of a record file. Fields hold their text as the file means it
// (quotes taken off, doubled quotes single, line breaks inside quotes kept
// byte for byte), all of it in one block: memory grows with the file alone.
class RecordTable {
 public:
  std::size_t rowCount() const noexcept { return rowFirstField_.size(); }
  std::size_t fieldCount(std::size_t row) const noexcept { return FirstField(row + 1) - FirstField(row); }
  // The field's text; empty past the end of a short row.
  std::string_view field(std::size_t row, std::size_t column) const noexcept;
  // The line of the file on which the row begins (1-based).
  std::size_t line(std::size_t row) const noexcept { return rowLines_[row]; }
  // The names of the header row; empty when the file has none.
  const std::vector<std::string>& header() const noexcept { return header_; }
  // Why the header row could not be read (a quoted field in it still open at
  // the end of the file, which took every row after it), and its line; none
  // when it was read or none was expected.
  const std::optional<RecordProblem>& headerProblem() const noexcept { return headerProblem_; }

  // The column that `nameOrNumber` names: a name that the header row has
  // once, or a number from 1 (with a header row, one of its columns').
  // Throws std::invalid_argument whose message says what is wrong: a name
  // the header has twice and where, or one it lacks and the names it has
  // (the first kMostNamesListed of them, and how many more).
  std::size_t ColumnIndex(std::string_view nameOrNumber) const;

  static constexpr std::size_t kMostNamesListed = 40;

 private:
  friend class RecordReader;
  std::size_t FirstField(std::size_t row) const noexcept {
    return row < rowFirstField_.size() ? rowFirstField_[row] : fieldEnds_.size();
  }

  std::string text_;                        // every field, one after another
  std::vector<std::size_t> fieldEnds_;      // where each field ends in text_
  std::vector<std::size_t> rowFirstField_;  // each row's first field in fieldEnds_
  std::vector<std::size_t> rowLines_;
  std::vector<std::string> header_;
  std::optional<RecordProblem> headerProblem_;
};

// Reads a record file fed in pieces of any size: line ends may be LF, CRLF
// or a lone CR, and a UTF-8 byte-order mark at the start is skipped. In CSV
// and TSV an empty line holds no row.
class RecordReader {
 public:
  explicit RecordReader(const RecordOptions& options);

  void Feed(std::string_view bytes);
  // Ends the input; a quoted field still open is a problem of the row it
  // began, and that row is left out.
  RecordTable Finish();

  // The rows that could not be read, in file order.
  const std::vector<RecordProblem>& problems() const noexcept { return problems_; }
  // The number of lines read whole so far.
  std::size_t linesRead() const noexcept { return line_ - 1; }

 private:
  enum class State : std::uint8_t { RowStart, FieldStart, Unquoted, Quoted, QuoteInQuoted };

  void EndField();
  void EndRow();
  void EndLine(char c);  // a line end outside quotes: c is '\r' or '\n'

  RecordOptions options_;
  RecordTable table_;
  std::vector<RecordProblem> problems_;
  State state_ = State::RowStart;
  bool atStart_ = true;        // the first bytes may be a byte-order mark
  std::string pendingMark_;    // bytes that may still become one
  bool skipLineFeed_ = false;  // a '\r' ended the last line: a '\n' right after is part of it
  bool headerPending_;
  std::size_t line_ = 1;     // the line being read
  std::size_t rowLine_ = 1;  // where the row being read began
};

// Reads a whole record file held in memory.
RecordTable ReadRecords(std::string_view text, const RecordOptions& options, std::vector<RecordProblem>& problems);

}  // namespace vantel
