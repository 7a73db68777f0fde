// A record file as the commands that match read it: which fields count (the
// string to match, the id, the fields carried along), the rows whose string
// can take part, and the rows that cannot, with their lines. `vantel match`
// and `vantel serve` read their files through it, so a row has the same
// number and the same fields in both.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Arguments.h"
#include "TextInput.h"
#include "vantel/Records.h"

namespace vantel::cli {

// The record options of the command line.
struct RecordSelection {
  std::optional<RecordFormat> input;  // otherwise from each file's name
  bool header = true;
  std::optional<std::string> column, id;
  std::vector<std::string> keep;
  char delimiter = 0;
};

// Takes the option just peeked when it is one of them; false when it is not.
bool TakeRecordOption(ArgumentCursor& args, std::string_view option, RecordSelection& selection);

// One input file of records: its table, the fields that matter, and the
// strings of the rows that can take part, for the matcher.
struct RecordFile {
  std::string name;
  RecordFormat format = RecordFormat::Lines;
  RecordTable table;
  std::size_t column = 0;
  std::optional<std::size_t> id;  // otherwise the row's number (the line's, for lines)
  std::vector<std::size_t> keeps;
  std::vector<std::u16string> strings;
  std::vector<std::size_t> rows;  // each string's row
  // How the output names the fields.
  std::string idName, stringName;
  std::vector<std::string> keepNames;
};

// A row that takes part in no pair.
struct Problem {
  std::size_t file;  // 0 queries, 1 candidates
  std::size_t line;
  std::string reason;
};

// Whether a file's name says CSV (".csv") or TSV (".tsv"), in any case;
// `otherwise` when it says neither.
RecordFormat FormatOfName(std::string_view name, RecordFormat otherwise);

// Feeds the whole of `input` to `reader` and gives its table; a read error
// leaves as InputError naming the file and the last line read.
RecordTable ReadTable(Input& input, RecordReader& reader);

// Reads the whole file; a read error leaves as InputError, a field option
// that the file lacks as UsageError, before anything is matched. The rows
// set aside go to `problems` under `fileIndex`.
RecordFile ReadRecordFile(Input& input, std::size_t fileIndex, const RecordSelection& selection,
                          std::vector<Problem>& problems);

}  // namespace vantel::cli
