// libFuzzer target: field comparisons and block keys of record linkage over
// any text. Input layout: lines. The first is a field as --field takes it
// ("given:name:swap=other:edits=on"), the second a block rule as --block
// takes it, the rest values: those of the field's column and, after a line
// holding only "|", those of the other column (swap=, or a second part of a
// block key). A field or rule that does not read is refused with
// std::invalid_argument and the input ends there. Every pair of records must
// get a level of the field's table or "missing", the same one each time it
// is asked, and "equal" for a record with itself when it has a value; a
// block rule's pairs must be ascending, each once, and as many as it counts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "vantel/Candidates.h"
#include "vantel/Comparisons.h"
#include "vantel/Errors.h"
#include "vantel/LinkModel.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr std::size_t kMostRecords = 24;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string_view> lines;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty() && lines.size() < 2 + 2 * kMostRecords + 1) {
    const std::size_t end = rest.find('\n');
    lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  if (lines.size() < 2) return 0;
  std::vector<std::string_view> own, other;
  bool second = false;
  for (std::size_t i = 2; i < lines.size(); ++i) {
    if (lines[i] == "|" && !second) {
      second = true;
      continue;
    }
    (second ? other : own).push_back(lines[i]);
  }
  own.resize(std::min(own.size(), kMostRecords));
  other.resize(own.size());  // one value of each column per record, empty when not given

  vantel::FieldComparison field;
  try {
    field = vantel::ParseFieldComparison(lines[0]);
  } catch (const std::invalid_argument&) {
    return 0;
  }
  field.aliases.clear();  // no files are read here
  const std::string otherColumn = field.hasSwappedLevel() ? field.swapWith : std::string("other");
  std::vector<vantel::FieldComparison> fields = {field,
                                                 vantel::DefaultComparison(otherColumn, vantel::FieldKind::Name)};
  try {
    const vantel::LinkRecords records(fields, {own, other}, own.size());
    vantel::FieldComparer comparer;
    const std::size_t levels = field.levelCount();
    for (std::size_t a = 0; a < own.size(); ++a)
      for (std::size_t b = 0; b < own.size(); ++b) {
        const std::uint8_t level = comparer.Level(records.field(0), a, b);
        Require(level == vantel::kMissingLevel || level < levels);
        Require(comparer.Level(records.field(0), a, b) == level);
        if (a == b) Require(level == 0 || level == vantel::kMissingLevel);
      }
  } catch (const vantel::RuntimeError&) {
    // transliterate=on in a build without ICU
  }

  try {
    const vantel::CandidateRule rule = vantel::ParseBlockRule(lines[1]);
    vantel::RuleColumns columns;
    for (const std::string& column : rule.columns()) columns[column] = column == field.column ? own : other;
    const vantel::RecordSpan span{own.size(), own.size()};
    const std::vector<vantel::RecordPair> pairs = vantel::RulePairs(rule, columns, span, 1);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      Require(pairs[i].first < pairs[i].second && pairs[i].second < own.size());
      if (i > 0) Require(pairs[i - 1] < pairs[i]);
    }
    Require(vantel::BlockPairCount(rule, columns, span) == pairs.size());
  } catch (const std::invalid_argument&) {
  }
  return 0;
}
