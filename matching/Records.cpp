// The record reader is a state machine fed a byte at a time, so that the
// pieces it is fed may split a file anywhere: inside a quoted field, between
// the two bytes of a CRLF, inside the byte-order mark. Fields go straight
// into the table's one block of text; a row is a run of field ends.

#include "vantel/Records.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantel {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::string_view RecordTable::field(std::size_t row, std::size_t column) const noexcept {
  if (column >= fieldCount(row)) return {};
  const std::size_t index = rowFirstField_[row] + column;
  const std::size_t begin = index == 0 ? 0 : fieldEnds_[index - 1];
  return std::string_view(text_).substr(begin, fieldEnds_[index] - begin);
}

std::size_t RecordTable::ColumnIndex(std::string_view nameOrNumber) const {
  if (headerProblem_) {
    throw std::invalid_argument("line " + std::to_string(headerProblem_->line) + ": " + headerProblem_->reason);
  }
  std::vector<std::size_t> named;
  for (std::size_t column = 0; column < header_.size(); ++column) {
    if (header_[column] == nameOrNumber) named.push_back(column);
  }
  if (named.size() == 1) return named.front();
  if (named.size() > 1) {
    // Whichever one were taken, the other would be the one meant as often.
    std::string where;
    for (std::size_t i = 0; i < named.size(); ++i) {
      where += i == 0 ? "" : i + 1 == named.size() ? " and " : ", ";
      where += std::to_string(named[i] + 1);
    }
    throw std::invalid_argument("'" + std::string(nameOrNumber) + "' names more than one column (" + where +
                                "): give its number");
  }
  if (AllDigits(nameOrNumber) && nameOrNumber.size() < 10) {
    const std::size_t number = std::stoul(std::string(nameOrNumber));
    if (number >= 1 && !header_.empty() && number > header_.size()) {
      throw std::invalid_argument("there is no column " + std::to_string(number) + ": the header has " +
                                  std::to_string(header_.size()) + (header_.size() == 1 ? " column" : " columns"));
    }
    if (number >= 1) return number - 1;
  }
  if (header_.empty()) {
    throw std::invalid_argument("'" + std::string(nameOrNumber) +
                                "' is not a column number from 1 (the file has no header row)");
  }
  // A screenful at most: a header may have a million names.
  std::string names;
  const std::size_t listed = std::min(header_.size(), kMostNamesListed);
  for (std::size_t column = 0; column < listed; ++column) names += (column == 0 ? "" : ", ") + header_[column];
  if (listed < header_.size()) names += " and " + std::to_string(header_.size() - listed) + " more";
  throw std::invalid_argument("no column named '" + std::string(nameOrNumber) + "'; the header has: " + names);
}

RecordReader::RecordReader(const RecordOptions& options)
    : options_(options), headerPending_(options.header && options.format != RecordFormat::Lines) {
  if (options_.delimiter == 0) options_.delimiter = options_.format == RecordFormat::Tsv ? '\t' : ',';
}

void RecordReader::EndField() { table_.fieldEnds_.push_back(table_.text_.size()); }

void RecordReader::EndRow() {
  if (!headerPending_) return;
  // The first row names the fields: it moves to the header.
  const std::size_t row = table_.rowCount() - 1;
  for (std::size_t column = 0; column < table_.fieldCount(row); ++column) {
    table_.header_.emplace_back(table_.field(row, column));
  }
  table_.text_.clear();
  table_.fieldEnds_.clear();
  table_.rowFirstField_.clear();
  table_.rowLines_.clear();
  headerPending_ = false;
}

void RecordReader::EndLine(char c) {
  ++line_;
  skipLineFeed_ = c == '\r';
}

void RecordReader::Feed(std::string_view bytes) {
  if (atStart_) {
    // Holds back the first bytes until they are known not to be a byte-order mark.
    while (!bytes.empty() && pendingMark_.size() < kByteOrderMark.size() &&
           bytes.front() == kByteOrderMark[pendingMark_.size()]) {
      pendingMark_ += bytes.front();
      bytes.remove_prefix(1);
    }
    if (pendingMark_.size() == kByteOrderMark.size()) {
      pendingMark_.clear();
      atStart_ = false;
    } else if (bytes.empty()) {
      return;  // a mark so far: more bytes will tell
    } else {
      atStart_ = false;
      const std::string held = std::move(pendingMark_);
      pendingMark_.clear();
      Feed(held);
    }
  }
  const bool lines = options_.format == RecordFormat::Lines;
  const char delimiter = options_.delimiter;
  std::string& text = table_.text_;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (skipLineFeed_) {
      skipLineFeed_ = false;
      if (c == '\n') continue;
    }
    const bool lineEnd = c == '\n' || c == '\r';
    switch (state_) {
      case State::QuoteInQuoted:
        if (c == '"') {  // a doubled quote stands for one
          text += '"';
          state_ = State::Quoted;
          continue;
        }
        state_ = State::Unquoted;  // the field's closing quote: what follows goes on as unquoted
        break;
      case State::Quoted:
        if (c == '"') {
          state_ = State::QuoteInQuoted;
        } else {
          if (c == '\r' || (c == '\n' && (text.empty() || text.back() != '\r'))) ++line_;
          text += c;
        }
        continue;
      case State::RowStart:
        if (lineEnd) {
          if (lines) {  // a line of its own, empty
            table_.rowFirstField_.push_back(table_.fieldEnds_.size());
            table_.rowLines_.push_back(line_);
            EndField();
            EndRow();
          }
          EndLine(c);
          continue;
        }
        table_.rowFirstField_.push_back(table_.fieldEnds_.size());
        table_.rowLines_.push_back(line_);
        rowLine_ = line_;
        state_ = State::FieldStart;
        [[fallthrough]];
      case State::FieldStart:
        if (!lines && c == '"') {
          state_ = State::Quoted;
          continue;
        }
        state_ = State::Unquoted;
        break;
      case State::Unquoted: break;
    }
    // Unquoted text, or what follows a closing quote.
    if (lineEnd) {
      EndField();
      EndRow();
      EndLine(c);
      state_ = State::RowStart;
    } else if (c == delimiter && !lines) {
      EndField();
      state_ = State::FieldStart;
    } else {
      text += c;
    }
  }
}

RecordTable RecordReader::Finish() {
  if (atStart_ && !pendingMark_.empty()) {  // a part of a mark, and nothing after it
    atStart_ = false;
    const std::string held = std::move(pendingMark_);
    pendingMark_.clear();
    Feed(held);
  }
  switch (state_) {
    case State::RowStart: break;
    case State::Quoted: {
      if (headerPending_) {  // the file's every row is in that field: nothing is left to read
        table_.headerProblem_ = {rowLine_, "a quoted field of the header row is still open at the end of the file"};
        problems_.push_back(*table_.headerProblem_);
      } else {
        problems_.push_back({rowLine_, "a quoted field is still open at the end of the file"});
      }
      const std::size_t row = table_.rowCount() - 1;
      const std::size_t first = table_.rowFirstField_[row];
      table_.text_.resize(first == 0 ? 0 : table_.fieldEnds_[first - 1]);
      table_.fieldEnds_.resize(first);
      table_.rowFirstField_.pop_back();
      table_.rowLines_.pop_back();
      break;
    }
    case State::FieldStart:
    case State::Unquoted:
    case State::QuoteInQuoted:  // the last line has no end
      EndField();
      EndRow();
      break;
  }
  state_ = State::RowStart;
  return std::move(table_);
}

RecordTable ReadRecords(std::string_view text, const RecordOptions& options, std::vector<RecordProblem>& problems) {
  RecordReader reader(options);
  reader.Feed(text);
  RecordTable table = reader.Finish();
  problems = reader.problems();
  return table;
}

}  // namespace vantel
