#include "RecordFile.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "vantel/CompareUS.h"
#include "vantel/Errors.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

RecordFormat ParseInputFormat(std::string_view text) {
  if (text == "lines") return RecordFormat::Lines;
  if (text == "csv") return RecordFormat::Csv;
  if (text == "tsv") return RecordFormat::Tsv;
  throw UsageError("--input: '" + std::string(text) + "' is not lines, csv or tsv");
}

char ParseDelimiter(std::string_view text) {
  if (text == "\\t" || text == "tab") return '\t';
  if (text.size() != 1 || text[0] == '"' || text[0] == '\n' || text[0] == '\r') {
    throw UsageError("--delimiter: '" + std::string(text) +
                     "' is not one character (other than a quote or a line end)");
  }
  return text[0];
}

std::vector<std::string> ParseNames(std::string_view text) {
  std::vector<std::string> names;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    names.emplace_back(text.substr(start, comma - start));
    if (names.back().empty()) throw UsageError("--keep: '" + std::string(text) + "' has an empty name");
    if (comma == std::string_view::npos) return names;
    start = comma + 1;
  }
}

// An option that chooses one thing: given twice, the earlier would be lost
// without a word.
void TakeOnce(ArgumentCursor& args, std::string_view option, std::optional<std::string>& value) {
  const std::string_view given = args.TakeValue(option);
  if (value) {
    throw UsageError(std::string(option) + " is given twice ('" + *value + "' and '" + std::string(given) +
                     "'): give it once");
  }
  value = std::string(given);
}

}  // namespace

bool TakeRecordOption(ArgumentCursor& args, std::string_view option, RecordSelection& selection) {
  if (option == "--input") {
    selection.input = ParseInputFormat(args.TakeValue(option));
  } else if (option == "--no-header") {
    args.TakeFlag(option);
    selection.header = false;
  } else if (option == "--column") {
    TakeOnce(args, option, selection.column);
  } else if (option == "--id") {
    TakeOnce(args, option, selection.id);
  } else if (option == "--keep") {
    const std::vector<std::string> names = ParseNames(args.TakeValue(option));
    selection.keep.insert(selection.keep.end(), names.begin(), names.end());
  } else if (option == "--delimiter") {
    selection.delimiter = ParseDelimiter(args.TakeValue(option));
  } else {
    return false;
  }
  return true;
}

namespace {

std::size_t ResolveColumn(const RecordFile& file, std::string_view option, std::string_view nameOrNumber) {
  try {
    return file.table.ColumnIndex(nameOrNumber);
  } catch (const std::invalid_argument& bad) {
    throw UsageError(std::string(option) + ": " + file.name + ": " + bad.what());
  }
}

}  // namespace

namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char c = text[text.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

}  // namespace

RecordFormat FormatOfName(std::string_view name, RecordFormat otherwise) {
  if (EndsWith(name, ".csv")) return RecordFormat::Csv;
  if (EndsWith(name, ".tsv")) return RecordFormat::Tsv;
  return otherwise;
}

RecordTable ReadTable(Input& input, RecordReader& reader) {
  std::vector<char> chunk(std::size_t{64} << 10);
  for (;;) {
    std::size_t count = 0;
    try {
      count = input.source().Read(chunk);
    } catch (const ReadError& failure) {
      throw InputError(input.name() + ": read error after line " + std::to_string(reader.linesRead()) + ": " +
                       failure.what());
    }
    if (count == 0) break;
    reader.Feed(std::string_view(chunk.data(), count));
  }
  return reader.Finish();
}

RecordFile ReadRecordFile(Input& input, std::size_t fileIndex, const RecordSelection& settings,
                          std::vector<Problem>& problems) {
  RecordFile file;
  file.name = input.name();
  file.format = settings.input ? *settings.input : FormatOfName(file.name, RecordFormat::Lines);
  if (file.format == RecordFormat::Lines &&
      (settings.id || !settings.keep.empty() || (settings.column && *settings.column != "1"))) {
    throw UsageError(file.name + " is a list of lines, one field a line: --column, --id and --keep need a CSV or " +
                     "TSV file (--input csv or tsv)");
  }
  RecordReader reader({file.format, settings.delimiter, settings.header});
  file.table = ReadTable(input, reader);
  if (const auto& lost = file.table.headerProblem()) {
    throw InputError(file.name + " line " + std::to_string(lost->line) + ": " + lost->reason);
  }
  for (const RecordProblem& problem : reader.problems()) problems.push_back({fileIndex, problem.line, problem.reason});

  file.column = ResolveColumn(file, "--column", settings.column.value_or("1"));
  if (settings.id) file.id = ResolveColumn(file, "--id", *settings.id);
  for (const std::string& keep : settings.keep) file.keeps.push_back(ResolveColumn(file, "--keep", keep));

  const std::vector<std::string>& header = file.table.header();
  // A name the header has more than once is told apart by the column's number.
  const auto nameOf = [&](std::size_t column) {
    if (column >= header.size()) return "field" + std::to_string(column + 1);
    if (std::count(header.begin(), header.end(), header[column]) == 1) return header[column];
    return header[column] + "_" + std::to_string(column + 1);
  };
  file.idName = file.id ? nameOf(*file.id) : file.format == RecordFormat::Lines ? "line" : "row";
  file.stringName = header.empty() ? "" : nameOf(file.column);
  for (const std::size_t keep : file.keeps) file.keepNames.push_back(nameOf(keep));

  std::size_t needed = std::max(file.column, file.id.value_or(0)) + 1;
  for (const std::size_t keep : file.keeps) needed = std::max(needed, keep + 1);
  // The other fields that reach the output, and how a problem names each.
  std::vector<std::pair<std::size_t, std::string>> carried;
  const auto describe = [&](std::string_view option, std::size_t column) {
    return std::string("the ") + std::string(option) + " field " +
           (header.empty() ? std::to_string(column + 1) : "'" + header[column] + "'");
  };
  if (file.id) carried.emplace_back(*file.id, describe("--id", *file.id));
  for (const std::size_t keep : file.keeps) carried.emplace_back(keep, describe("--keep", keep));

  std::u16string converted;
  for (std::size_t row = 0; row < file.table.rowCount(); ++row) {
    const auto reject = [&](std::string reason) {
      problems.push_back({fileIndex, file.table.line(row), std::move(reason)});
    };
    if (const std::size_t fields = file.table.fieldCount(row); fields < needed) {
      reject("too few fields: " + std::to_string(fields) + " of " + std::to_string(needed));
      continue;
    }
    const std::string_view text = file.table.field(row, file.column);
    try {
      // A UTF-16 string has no more units than its UTF-8 has bytes: only a
      // longer text can be too long, and one far too long is measured where
      // it lies rather than converted and stored first.
      if (text.size() > CompareUS::kMaxLength) {
        if (const std::size_t units = Utf16Length(text); units > CompareUS::kMaxLength) {
          reject("longer than " + std::to_string(CompareUS::kMaxLength) + " UTF-16 code units (" +
                 std::to_string(units) + ")");  // as the matcher says it
          continue;
        }
      }
      Utf8ToUtf16(text, converted);
    } catch (const InvalidUtf8& bad) {
      reject("not valid UTF-8 (byte " + std::to_string(bad.offset() + 1) + ")");
      continue;
    }
    // What the output carries must be text too: JSON can hold nothing else.
    bool carriedValid = true;
    for (const auto& [column, what] : carried) {
      try {
        Utf16Length(file.table.field(row, column));
      } catch (const InvalidUtf8& bad) {
        reject("not valid UTF-8 (byte " + std::to_string(bad.offset() + 1) + ") in " + what);
        carriedValid = false;
        break;
      }
    }
    if (!carriedValid) continue;
    file.strings.push_back(converted);
    file.rows.push_back(row);
  }
  return file;
}

}  // namespace vantel::cli
