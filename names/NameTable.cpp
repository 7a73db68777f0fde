// The table of name groups. It is data: the built-in one is the text of
// nicknames.csv, built into the library, and a user's table is read the same
// way, so the code knows no name.

#include <fstream>
#include <sstream>

#include "Words.h"
#include "vantel/Errors.h"
#include "vantel/NameForms.h"
#include "vantel/Utf8.h"

namespace vantel {
namespace names {
extern const char kEnglishNameTable[];
extern const std::size_t kEnglishNameTableSize;
}  // namespace names

namespace {

[[noreturn]] void Refuse(std::string_view source, std::size_t line, const std::string& why) {
  throw RuntimeError(error::kInvalidProcedureCall, std::string(source) + " line " + std::to_string(line) + ": " + why);
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::shared_ptr<const NameTable> NameTable::English() {
  static const std::shared_ptr<const NameTable> table = std::make_shared<const NameTable>(
      Parse(std::string_view(names::kEnglishNameTable, names::kEnglishNameTableSize), "built-in name table"));
  return table;
}

NameTable NameTable::Parse(std::string_view csv, std::string_view source) {
  NameTable table;
  if (csv.substr(0, 3) == "\xEF\xBB\xBF") csv.remove_prefix(3);
  std::vector<std::u16string> names;
  std::size_t lineNumber = 0;
  while (!csv.empty()) {
    ++lineNumber;
    const std::size_t end = csv.find('\n');
    const std::string_view line = Trimmed(csv.substr(0, end));
    csv.remove_prefix(end == std::string_view::npos ? csv.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
      const std::size_t comma = line.find(',', start);
      fields.push_back(Trimmed(line.substr(start, comma - start)));
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    bool blank = true;
    for (const std::string_view name : fields) blank = blank && name.empty();
    if (blank) Refuse(source, lineNumber, "empty group");
    names.clear();
    for (std::size_t field = 0; field < fields.size(); ++field) {
      if (fields[field].empty()) Refuse(source, lineNumber, "empty name in field " + std::to_string(field + 1));
      try {
        names.push_back(Utf8ToUtf16(fields[field]));
      } catch (const InvalidUtf8&) {
        Refuse(source, lineNumber, "not valid UTF-8 in field " + std::to_string(field + 1));
      }
    }
    table.AddGroup(names);
  }
  return table;
}

NameTable NameTable::Read(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  if (!file || file.bad()) {
    throw RuntimeError(error::kInvalidProcedureCall, path + ": cannot be read");
  }
  return Parse(text.str(), path);
}

void NameTable::AddGroup(const std::vector<std::u16string>& names) {
  const std::u16string formalKey = names::LowerCase(names.front());
  std::uint32_t group = 0;
  const auto known = groupsOf_.find(formalKey);
  bool found = false;
  if (known != groupsOf_.end()) {
    for (const std::uint32_t candidate : known->second) {
      if (names::LowerCase(formal_[candidate]) == formalKey) {
        group = candidate;
        found = true;
        break;
      }
    }
  }
  if (!found) {
    group = static_cast<std::uint32_t>(formal_.size());
    formal_.push_back(names.front());
  }
  for (const std::u16string& name : names) {
    std::vector<std::uint32_t>& groups = groupsOf_[names::LowerCase(name)];
    bool listed = false;
    for (const std::uint32_t held : groups) listed = listed || held == group;
    if (!listed) groups.push_back(group);
  }
}

void NameTable::Add(const NameTable& other) {
  // Group by group in the other's order, so that a merged table looks names
  // up as the two tables would, this one's groups first.
  std::vector<std::vector<std::u16string>> groups(other.formal_.size());
  for (std::size_t group = 0; group < groups.size(); ++group) groups[group].push_back(other.formal_[group]);
  for (const auto& [name, held] : other.groupsOf_) {
    for (const std::uint32_t group : held) groups[group].push_back(name);
  }
  for (const std::vector<std::u16string>& names : groups) AddGroup(names);
}

std::vector<std::u16string_view> NameTable::FormalNamesOf(std::u16string_view name) const {
  std::vector<std::u16string_view> formal;
  const auto found = groupsOf_.find(names::LowerCase(name));
  if (found == groupsOf_.end()) return formal;
  for (const std::uint32_t group : found->second) formal.emplace_back(formal_[group]);
  return formal;
}

}  // namespace vantel
