// How `vantel match` writes a matched pair: TSV, CSV or JSON lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "TextOutput.h"

namespace vantel::cli {

enum class PairFormat { Tsv, Csv, Json };

// "tsv", "csv" or "json"; anything else is a UsageError naming --format.
PairFormat ParsePairFormat(std::string_view text);

struct MatchedLine {
  std::size_t queryLine;
  std::size_t candidateLine;
  std::string_view query;  // UTF-8, as read
  std::string_view candidate;
  std::string_view answer;  // already formatted
};

// One record: the five fields in that order.
// TSV: tab-separated; a tab, carriage return, line feed or backslash inside a
//   string is written as \t, \r, \n or \\, so that every record is one line
//   of five fields.
// CSV: as RFC 4180 says: a field holding a comma, a double quote, a carriage
//   return or a line feed is quoted, its quotes doubled; records end in CRLF.
// JSON: one object a line with the keys query_line, candidate_line, query,
//   candidate and answer.
void WritePair(Output& out, PairFormat format, const MatchedLine& pair);

}  // namespace vantel::cli
