// How `vantel match` writes its rows: TSV, CSV or JSON lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "TextOutput.h"

namespace vantel::cli {

enum class PairFormat { Tsv, Csv, Json };

// "tsv", "csv" or "json"; anything else is a UsageError naming --format.
PairFormat ParsePairFormat(std::string_view text);

// A field of an output row: its text, and whether it is a number, which
// JSON writes bare (an empty one as null) rather than as a string.
struct OutputField {
  std::string_view text;
  bool bare = false;
};

// A row of fields, `names` naming them (JSON's keys; the header's columns).
// TSV: tab-separated; a tab, carriage return, line feed or backslash inside a
//   field is written as \t, \r, \n or \\, so that every row is one line.
// CSV: as RFC 4180 says: a field holding a comma, a double quote, a carriage
//   return or a line feed is quoted, its quotes doubled; rows end in CRLF.
// JSON: one object a line, the fields under their names; a byte that is not
//   part of valid UTF-8 is written as U+FFFD, so that every line parses.
void WriteRow(Output& out, PairFormat format, const std::vector<std::string>& names,
              const std::vector<OutputField>& fields);
// The names as a first row, for TSV and CSV; JSON has none.
void WriteHeader(Output& out, PairFormat format, const std::vector<std::string>& names);

}  // namespace vantel::cli
