// Candidate rules. Block keys are made once per record and sorted, so the
// pairs of a key come out of one run of equal keys; a scan rule hands its
// column to the matcher, whose bounds skip only pairs that provably cannot
// reach the threshold. The union is a sort and a de-duplication of the
// rules' pairs, which fixes its order whatever the threads did.

#include "vantel/Candidates.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "Text.h"
#include "similarity/UpperCase.h"
#include "vantel/CompareUS.h"
#include "vantel/Errors.h"
#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace vantel {
namespace {

using linkage::Trim;

std::string FormatNumber(double value) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

const std::vector<std::string_view>& ColumnOf(const RuleColumns& columns, const std::string& name) {
  const auto found = columns.find(name);
  if (found == columns.end()) throw std::invalid_argument("no values given for column '" + name + "'");
  return found->second;
}

// The key part of one value; nullopt when it has none (empty, unreadable).
std::optional<std::string> KeyOf(const KeyPart& part, std::string_view raw, CompareUS& transcriber) {
  const std::string_view value = Trim(raw);
  if (value.empty()) return std::nullopt;
  if (part.kind == KeyKind::Year) {
    for (std::size_t i = 0; i + 4 <= value.size(); ++i) {
      std::size_t run = 0;
      while (i + run < value.size() && value[i + run] >= '0' && value[i + run] <= '9') ++run;
      if (run == 4) return std::string(value.substr(i, 4));
      i += run;
    }
    return std::nullopt;
  }
  std::u16string wide;
  try {
    Utf8ToUtf16(value, wide);
  } catch (const InvalidUtf8&) {
    return std::nullopt;
  }
  if (part.kind == KeyKind::Phonetic) {
    if (wide.size() > CompareUS::kMaxLength) return std::nullopt;
    try {
      const std::u16string form = transcriber.PhoneticForm(std::u16string_view(wide));
      if (form.empty()) return std::nullopt;
      return Utf16ToUtf8(form);
    } catch (const RuntimeError&) {
      return std::nullopt;
    }
  }
  std::u16string folded(wide.size(), u'\0');
  similarity::UpperCaseInto(wide, folded.data());
  if (part.kind == KeyKind::First && folded.size() > part.length) folded.resize(part.length);
  if (part.kind == KeyKind::Last) {
    // The tail of the code as a code field with tail=N reads it (case folded first, as every key).
    const auto tail = static_cast<std::uint32_t>(std::min<std::size_t>(part.length, UINT32_MAX));
    std::string key = linkage::CodeKey(Utf16ToUtf8(folded), tail);
    if (key.empty()) return std::nullopt;
    return key;
  }
  return Utf16ToUtf8(folded);
}

// Each record's key (parts joined by a unit separator) and whether it has one.
struct Keys {
  std::vector<std::string> key;
  std::vector<std::uint8_t> present;
};

Keys MakeKeys(const CandidateRule& rule, const RuleColumns& columns, RecordSpan span) {
  Keys keys;
  keys.key.resize(span.recordCount);
  keys.present.assign(span.recordCount, 1);
  CompareUS transcriber;
  for (const KeyPart& part : rule.parts) {
    const std::vector<std::string_view>& values = ColumnOf(columns, part.column);
    for (std::size_t record = 0; record < span.recordCount; ++record) {
      if (!keys.present[record]) continue;
      const std::optional<std::string> key = KeyOf(part, values[record], transcriber);
      if (!key) {
        keys.present[record] = 0;
        keys.key[record].clear();
        continue;
      }
      keys.key[record] += *key;
      keys.key[record] += '\x1f';
    }
  }
  return keys;
}

// The records that have a key, sorted by key and then by position.
std::vector<std::uint32_t> SortedByKey(const Keys& keys) {
  std::vector<std::uint32_t> order;
  for (std::uint32_t record = 0; record < keys.key.size(); ++record)
    if (keys.present[record]) order.push_back(record);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return keys.key[a] < keys.key[b]; });
  return order;
}

template <typename Run>
void ForEachKeyRun(const Keys& keys, const std::vector<std::uint32_t>& order, const Run& run) {
  for (std::size_t begin = 0; begin < order.size();) {
    std::size_t end = begin + 1;
    while (end < order.size() && keys.key[order[end]] == keys.key[order[begin]]) ++end;
    run(begin, end);
    begin = end;
  }
}

std::vector<RecordPair> BlockPairs(const CandidateRule& rule, const RuleColumns& columns, RecordSpan span) {
  const Keys keys = MakeKeys(rule, columns, span);
  const std::vector<std::uint32_t> order = SortedByKey(keys);
  std::vector<RecordPair> pairs;
  ForEachKeyRun(keys, order, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
      for (std::size_t j = i + 1; j < end; ++j) {
        std::uint32_t a = order[i], b = order[j];  // a < b: the run is in position order
        if (span.linking() && (a >= span.firstCount || b < span.firstCount)) continue;
        pairs.push_back({a, b});
      }
  });
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

std::vector<RecordPair> ScanPairs(const CandidateRule& rule, const RuleColumns& columns, RecordSpan span,
                                  unsigned threads) {
  const std::vector<std::string_view>& values = ColumnOf(columns, rule.column);
  std::vector<std::u16string> strings(span.recordCount);
  for (std::size_t record = 0; record < span.recordCount; ++record) {
    try {
      Utf8ToUtf16(Trim(values[record]), strings[record]);
    } catch (const InvalidUtf8&) {
      strings[record].clear();  // left out by the matcher like any empty string
    }
  }
  MatchOptions options;
  options.method = rule.method;
  options.threshold = rule.threshold;
  options.threads = threads;
  std::vector<RecordPair> pairs;
  if (span.linking()) {
    const std::vector<std::u16string> first(strings.begin(),
                                            strings.begin() + static_cast<std::ptrdiff_t>(span.firstCount));
    const std::vector<std::u16string> second(strings.begin() + static_cast<std::ptrdiff_t>(span.firstCount),
                                             strings.end());
    const Matcher matcher(first, second, options);
    matcher.Run([&](const ScoredPair& pair) {
      pairs.push_back(
          {static_cast<std::uint32_t>(pair.query), static_cast<std::uint32_t>(span.firstCount + pair.candidate)});
    });
  } else {
    const Matcher matcher(strings, options);
    matcher.Run([&](const ScoredPair& pair) {
      pairs.push_back({static_cast<std::uint32_t>(pair.query), static_cast<std::uint32_t>(pair.candidate)});
    });
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

KeyPart ParseKeyPart(std::string_view text) {
  KeyPart part;
  const std::size_t open = text.find('(');
  if (open == std::string_view::npos) {
    if (text.empty()) throw std::invalid_argument("a block key part is empty");
    part.column = std::string(text);
    return part;
  }
  if (text.back() != ')') throw std::invalid_argument("'" + std::string(text) + "' lacks its closing parenthesis");
  const std::string_view function = text.substr(0, open);
  std::string_view inside = text.substr(open + 1, text.size() - open - 2);
  if (function == "phonetic") {
    part.kind = KeyKind::Phonetic;
  } else if (function == "year") {
    part.kind = KeyKind::Year;
  } else if (function == "first" || function == "last") {
    part.kind = function == "first" ? KeyKind::First : KeyKind::Last;
    const std::string name(function);
    const std::size_t comma = inside.rfind(',');
    if (comma == std::string_view::npos)
      throw std::invalid_argument(name + "(C,N) needs N in '" + std::string(text) + "'");
    const std::string_view number = inside.substr(comma + 1);
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), part.length);
    if (error != std::errc() || end != number.data() + number.size() || part.length == 0)
      throw std::invalid_argument(name + "(C,N) needs N of 1 or more in '" + std::string(text) + "'");
    inside = inside.substr(0, comma);
  } else {
    throw std::invalid_argument("unknown key '" + std::string(function) + "' (keys: phonetic, first, last, year)");
  }
  if (inside.empty()) throw std::invalid_argument("'" + std::string(text) + "' names no column");
  part.column = std::string(inside);
  return part;
}

}  // namespace

std::vector<std::string> CandidateRule::columns() const {
  if (kind == Kind::Scan) return {column};
  std::vector<std::string> names;
  for (const KeyPart& part : parts)
    if (std::find(names.begin(), names.end(), part.column) == names.end()) names.push_back(part.column);
  return names;
}

std::string CandidateRule::Describe() const {
  if (kind == Kind::Scan)
    return "scan " + column + ">=" + FormatNumber(threshold) + " (method " + std::to_string(method) + ")";
  std::string text = "block ";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) text += "+";
    switch (parts[i].kind) {
      case KeyKind::Value: text += parts[i].column; break;
      case KeyKind::Phonetic: text += "phonetic(" + parts[i].column + ")"; break;
      case KeyKind::First: text += "first(" + parts[i].column + "," + std::to_string(parts[i].length) + ")"; break;
      case KeyKind::Last: text += "last(" + parts[i].column + "," + std::to_string(parts[i].length) + ")"; break;
      case KeyKind::Year: text += "year(" + parts[i].column + ")"; break;
    }
  }
  return text;
}

CandidateRule ParseScanRule(std::string_view given, std::int16_t method) {
  const std::size_t colon = given.rfind(':');
  if (colon == std::string_view::npos || colon == 0)
    throw std::invalid_argument("a scan rule is COLUMN:THRESHOLD, not '" + std::string(given) + "'");
  CandidateRule rule;
  rule.kind = CandidateRule::Kind::Scan;
  rule.column = std::string(given.substr(0, colon));
  const std::string_view number = given.substr(colon + 1);
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), rule.threshold);
  if (error != std::errc() || end != number.data() + number.size() || !(rule.threshold >= 0 && rule.threshold <= 100))
    throw std::invalid_argument("scan threshold '" + std::string(number) + "' is not a number from 0 to 100");
  rule.method = method;
  return rule;
}

CandidateRule ParseBlockRule(std::string_view given) {
  CandidateRule rule;
  rule.kind = CandidateRule::Kind::Block;
  while (true) {
    // '+' separates parts; a comma inside first(C,N) is no separator.
    const std::size_t plus = given.find('+');
    rule.parts.push_back(ParseKeyPart(given.substr(0, plus)));
    if (plus == std::string_view::npos) break;
    given.remove_prefix(plus + 1);
  }
  return rule;
}

std::uint64_t BlockPairCount(const CandidateRule& rule, const RuleColumns& columns, RecordSpan span) {
  const Keys keys = MakeKeys(rule, columns, span);
  const std::vector<std::uint32_t> order = SortedByKey(keys);
  std::uint64_t pairs = 0;
  ForEachKeyRun(keys, order, [&](std::size_t begin, std::size_t end) {
    if (!span.linking()) {
      const std::uint64_t n = end - begin;
      pairs += n * (n - 1) / 2;
      return;
    }
    std::uint64_t first = 0;
    for (std::size_t i = begin; i < end; ++i) first += order[i] < span.firstCount ? 1u : 0u;
    pairs += first * (end - begin - first);
  });
  return pairs;
}

std::vector<RecordPair> RulePairs(const CandidateRule& rule, const RuleColumns& columns, RecordSpan span,
                                  unsigned threads) {
  if (span.recordCount > 0xFFFFFFF0u) throw std::invalid_argument("too many records");
  return rule.kind == CandidateRule::Kind::Scan ? ScanPairs(rule, columns, span, threads)
                                                : BlockPairs(rule, columns, span);
}

std::vector<RecordPair> SharePairs(const std::vector<CandidateRule>& rules, CandidateShare share,
                                   const RuleColumns& columns, RecordSpan span, unsigned threads) {
  if (span.recordCount > 0xFFFFFFF0u) throw std::invalid_argument("too many records");
  const bool scans = share.kind == CandidateShare::Kind::Scans;
  if (!scans && (share.rule >= rules.size() || rules[share.rule].kind != CandidateRule::Kind::Block))
    throw std::invalid_argument("candidate share: rule " + std::to_string(share.rule) + " is no block rule");
  std::vector<RecordPair> pairs;
  if (scans) {
    for (const CandidateRule& rule : rules) {
      if (rule.kind != CandidateRule::Kind::Scan) continue;
      const std::vector<RecordPair> found = ScanPairs(rule, columns, span, threads);
      std::vector<RecordPair> merged;
      merged.reserve(pairs.size() + found.size());
      std::set_union(pairs.begin(), pairs.end(), found.begin(), found.end(), std::back_inserter(merged));
      pairs = std::move(merged);
    }
  } else {
    pairs = BlockPairs(rules[share.rule], columns, span);
  }
  // The block rules that own a pair before this share: all of them for the
  // scans, the earlier ones for a block rule.
  const std::size_t owners = scans ? rules.size() : share.rule;
  for (std::size_t r = 0; r < owners && !pairs.empty(); ++r) {
    if (rules[r].kind != CandidateRule::Kind::Block) continue;
    const Keys keys = MakeKeys(rules[r], columns, span);
    std::erase_if(pairs, [&](const RecordPair& pair) {
      return keys.present[pair.first] && keys.present[pair.second] && keys.key[pair.first] == keys.key[pair.second];
    });
  }
  return pairs;
}

std::vector<std::optional<std::string>> BlockKeys(const CandidateRule& rule, const RuleColumns& columns,
                                                  RecordSpan span) {
  if (rule.kind != CandidateRule::Kind::Block) throw std::invalid_argument("keys are those of a block rule");
  Keys keys = MakeKeys(rule, columns, span);
  std::vector<std::optional<std::string>> result(span.recordCount);
  for (std::size_t record = 0; record < span.recordCount; ++record)
    if (keys.present[record]) result[record] = std::move(keys.key[record]);
  return result;
}

std::vector<RecordPair> CandidatePairs(const std::vector<CandidateRule>& rules, const RuleColumns& columns,
                                       RecordSpan span, unsigned threads, std::vector<std::uint64_t>* perRule,
                                       std::vector<std::vector<RecordPair>>* rulePairs) {
  std::vector<RecordPair> all;
  if (perRule) perRule->clear();
  if (rulePairs) rulePairs->clear();
  for (const CandidateRule& rule : rules) {
    std::vector<RecordPair> pairs = RulePairs(rule, columns, span, threads);
    if (perRule) perRule->push_back(pairs.size());
    std::vector<RecordPair> merged;
    merged.reserve(all.size() + pairs.size());
    std::set_union(all.begin(), all.end(), pairs.begin(), pairs.end(), std::back_inserter(merged));
    all = std::move(merged);
    if (rulePairs) rulePairs->push_back(std::move(pairs));
  }
  return all;
}

}  // namespace vantel
