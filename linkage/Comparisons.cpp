// Field comparisons. Every value is normalised and interned once per field,
// so that a pair of records costs a look-up of two value numbers for most
// kinds; names and text keep their phonetic forms, worked out once per
// distinct value, and a comparer remembers the answers it has computed, since
// the same two surnames meet again and again among candidate pairs.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "LevelMemory.h"
#include "PreparedData.h"
#include "Text.h"
#include "service/Scorer.h"
#include "similarity/GestaltRatio.h"
#include "similarity/UpperCase.h"
#include "vantel/CompareUS.h"
#include "vantel/Errors.h"
#include "vantel/Utf8.h"

namespace vantel {
namespace {

using linkage::Trim;

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Day and month as written in the layout: YYYY four digits, MM and DD one or
// two, every other character itself.
std::optional<std::uint32_t> ReadDate(std::string_view text, std::string_view layout) {
  unsigned year = 0, month = 0, day = 0;
  std::size_t at = 0;
  const auto digits = [&](std::size_t least, std::size_t most, unsigned& out) {
    std::size_t count = 0;
    out = 0;
    while (count < most && at < text.size() && IsDigit(text[at])) {
      out = out * 10 + static_cast<unsigned>(text[at] - '0');
      ++at;
      ++count;
    }
    return count >= least;
  };
  if (layout.empty()) {
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') return ReadDate(text, "YYYY-MM-DD");
    if (text.size() == 8) return ReadDate(text, "YYYYMMDD");
    return std::nullopt;
  }
  const bool compact = layout.find_first_not_of("YMD") == std::string_view::npos;
  for (std::size_t i = 0; i < layout.size();) {
    if (layout.substr(i, 4) == "YYYY") {
      if (!digits(4, 4, year)) return std::nullopt;
      i += 4;
    } else if (layout.substr(i, 2) == "MM") {
      if (!digits(compact ? 2 : 1, 2, month)) return std::nullopt;
      i += 2;
    } else if (layout.substr(i, 2) == "DD") {
      if (!digits(compact ? 2 : 1, 2, day)) return std::nullopt;
      i += 2;
    } else {
      if (at >= text.size() || text[at] != layout[i]) return std::nullopt;
      ++at;
      ++i;
    }
  }
  if (at != text.size() || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
  return year * 10000 + month * 100 + day;
}

std::uint8_t DateLevel(std::uint32_t a, std::uint32_t b) noexcept {
  if (a == b) return 0;
  const std::uint32_t yearA = a / 10000, yearB = b / 10000;
  const std::uint32_t monthA = a / 100 % 100, monthB = b / 100 % 100;
  const std::uint32_t dayA = a % 100, dayB = b % 100;
  if (yearA == yearB && monthA == dayB && dayA == monthB) return 1;
  int differing = 0;
  for (std::uint32_t x = a, y = b, i = 0; i < 8; ++i, x /= 10, y /= 10) differing += x % 10 != y % 10 ? 1 : 0;
  if (differing == 1) return 2;
  if (yearA == yearB && monthA == monthB) return 3;
  return 4;
}

// Whether one insertion, deletion, substitution or swap of two neighbours
// turns one text into the other (they differ).
template <typename Text>
bool OneEditApart(Text a, Text b) noexcept {
  if (a.size() > b.size()) std::swap(a, b);
  if (b.size() - a.size() > 1) return false;
  std::size_t first = 0;
  while (first < a.size() && a[first] == b[first]) ++first;
  if (a.size() < b.size()) return a.substr(first) == b.substr(first + 1);
  if (first == a.size()) return false;
  if (a.substr(first + 1) == b.substr(first + 1)) return true;
  return first + 1 < a.size() && a[first] == b[first + 1] && a[first + 1] == b[first] &&
         a.substr(first + 2) == b.substr(first + 2);
}

// Equal, one character substituted or two adjacent swapped, or other.
std::uint8_t CodeLevel(std::string_view a, std::string_view b) noexcept {
  if (a == b) return 0;
  return a.size() == b.size() && OneEditApart(a, b) ? 1 : 2;
}

std::vector<double> ParseLevels(std::string_view text) {
  std::vector<double> levels;
  while (!text.empty()) {
    const std::size_t comma = std::min(text.find(','), text.size());
    const std::string_view item = text.substr(0, comma);
    double value = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (error != std::errc() || end != item.data() + item.size() || !(value >= 0 && value <= 100))
      throw std::invalid_argument("level '" + std::string(item) + "' is not a number from 0 to 100");
    if (!levels.empty() && !(value < levels.back()))
      throw std::invalid_argument("levels must descend: '" + std::string(item) + "' follows " +
                                  std::to_string(levels.back()));
    levels.push_back(value);
    text.remove_prefix(std::min(comma + 1, text.size()));
  }
  if (levels.empty()) throw std::invalid_argument("levels need at least one threshold");
  return levels;
}

std::string FormatNumber(double value) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

bool UsesCompare(FieldKind kind) noexcept { return kind == FieldKind::Name || kind == FieldKind::Text; }

bool ReadSwitch(std::string_view key, std::string_view value) {
  if (value != "on" && value != "off")
    throw std::invalid_argument(std::string(key) + " must be on or off, not '" + std::string(value) + "'");
  return value == "on";
}

std::u16string Folded(std::u16string_view text) {
  std::u16string folded(text.size(), u'\0');
  similarity::UpperCaseInto(text, folded.data());
  return folded;
}

// The letter of a word that is an initial: one character, or one and a full stop.
bool InitialOf(std::u16string_view word, char16_t& letter) noexcept {
  if (word.empty() || word.front() == u'.' || word.size() > 2 || (word.size() == 2 && word[1] != u'.')) return false;
  letter = similarity::UpperCase(word.front());
  return true;
}

// The words of a name, a run of initials with full stops ("J.R.") taken
// apart into its initials.
std::vector<std::u16string> InitialWords(std::u16string_view text) {
  std::vector<std::u16string> words;
  for (std::u16string& word : NameWords(text)) {
    bool initials = word.size() >= 4 && word.size() % 2 == 0;
    for (std::size_t i = 0; initials && i < word.size(); i += 2) initials = word[i] != u'.' && word[i + 1] == u'.';
    if (!initials) {
      words.push_back(std::move(word));
      continue;
    }
    for (std::size_t i = 0; i < word.size(); i += 2) words.push_back(word.substr(i, 2));
  }
  return words;
}

// Kuhn's augmenting path: whether word `word` of the shorter name finds a word
// of the other, moving earlier words to others where needed.
bool Assign(std::size_t word, const std::vector<std::vector<std::uint8_t>>& fits, std::vector<std::size_t>& owner,
            std::vector<std::uint8_t>& seen) {
  for (std::size_t other = 0; other < owner.size(); ++other) {
    if (!fits[word][other] || seen[other]) continue;
    seen[other] = 1;
    if (owner[other] == owner.size() || Assign(owner[other], fits, owner, seen)) {
      owner[other] = word;
      return true;
    }
  }
  return false;
}

// A word equal to another but for letter case reaches the top level with it,
// whatever the sound measure (which reads case) makes of them as written.
bool WordsCover(CompareUS& comparer, const std::vector<std::u16string>& shorter,
                const std::vector<std::u16string>& longer, std::int16_t method, double top) {
  if (shorter.empty() || shorter.size() > longer.size()) return false;
  std::vector<std::vector<std::uint8_t>> fits(shorter.size(), std::vector<std::uint8_t>(longer.size(), 0));
  for (std::size_t i = 0; i < shorter.size(); ++i) {
    char16_t letter = 0;
    const bool initial = InitialOf(shorter[i], letter);
    bool any = false;
    const std::u16string folded = initial ? std::u16string() : Folded(shorter[i]);
    for (std::size_t j = 0; j < longer.size(); ++j) {
      fits[i][j] = initial
                       ? similarity::UpperCase(longer[j].front()) == letter
                       : folded == Folded(longer[j]) || comparer.Compare(std::u16string_view(shorter[i]),
                                                                         std::u16string_view(longer[j]), method) >= top;
      any = any || fits[i][j];
    }
    if (!any) return false;
  }
  std::vector<std::size_t> owner(longer.size(), longer.size());
  std::vector<std::uint8_t> seen;
  for (std::size_t i = 0; i < shorter.size(); ++i) {
    seen.assign(longer.size(), 0);
    if (!Assign(i, fits, owner, seen)) return false;
  }
  return true;
}

}  // namespace

const char* NameOf(FieldKind kind) noexcept {
  switch (kind) {
    case FieldKind::Name: return "name";
    case FieldKind::Text: return "text";
    case FieldKind::Exact: return "exact";
    case FieldKind::Date: return "date";
    case FieldKind::Code: return "code";
    case FieldKind::Email: return "email";
  }
  return "?";
}

FieldKind ParseFieldKind(std::string_view name) {
  for (const FieldKind kind :
       {FieldKind::Name, FieldKind::Text, FieldKind::Exact, FieldKind::Date, FieldKind::Code, FieldKind::Email})
    if (name == NameOf(kind)) return kind;
  throw std::invalid_argument("unknown kind '" + std::string(name) + "' (kinds: name, text, exact, date, code, email)");
}

std::size_t FieldComparison::levelCount() const noexcept {
  switch (kind) {
    case FieldKind::Name:
      return thresholds.size() + 2 + (hasAliasLevel() ? 1 : 0) + (hasSwappedLevel() ? 1 : 0) + (initials ? 1 : 0) +
             (edits ? 1 : 0);
    case FieldKind::Text: return thresholds.size() + 2 + (edits ? 1 : 0);
    case FieldKind::Exact: return 2;
    case FieldKind::Date: return 5;
    case FieldKind::Code: return 3;
    case FieldKind::Email: return edits ? 4 : 3;
  }
  return 0;
}

std::vector<std::string> FieldComparison::levelNames() const {
  switch (kind) {
    case FieldKind::Name:
    case FieldKind::Text: {
      std::vector<std::string> names{"equal"};
      if (hasAliasLevel()) names.emplace_back("alias");
      for (std::size_t i = 0; i < thresholds.size(); ++i) {
        names.push_back(">=" + FormatNumber(thresholds[i]));
        if (i == 0 && hasSwappedLevel()) names.emplace_back("swapped");
        if (i == 0 && kind == FieldKind::Name && initials) names.emplace_back("initials");
      }
      if (hasEditLevel()) names.emplace_back("one-edit");
      names.emplace_back("other");
      return names;
    }
    case FieldKind::Exact: return {"equal", "other"};
    case FieldKind::Date: return {"equal", "day-month-swapped", "one-digit", "same-year-month", "other"};
    case FieldKind::Code: return {"equal", "one-edit", "other"};
    case FieldKind::Email:
      if (edits) return {"equal", "same-local-part", "one-edit", "other"};
      return {"equal", "same-local-part", "other"};
  }
  return {};
}

std::string FieldComparison::Describe() const {
  std::string text = column + ":" + NameOf(kind);
  if (UsesCompare(kind)) {
    text += ":method=" + std::to_string(method) + ":levels=";
    for (std::size_t i = 0; i < thresholds.size(); ++i) {
      if (i) text += ',';
      text += FormatNumber(thresholds[i]);
    }
  }
  if (kind == FieldKind::Date && !dateFormat.empty()) text += ":format=" + dateFormat;
  if (kind == FieldKind::Name || kind == FieldKind::Exact || kind == FieldKind::Email)
    text += termFrequencies ? ":tf=on" : ":tf=off";
  // Written only when on, so that a field without them reads as it always did.
  if (kind == FieldKind::Name && anyOrder) text += ":order=any";
  if (kind == FieldKind::Name && nicknames) text += ":nicknames=on";
  if (kind == FieldKind::Name && !aliases.empty()) text += ":aliases=" + aliases;
  if (UsesCompare(kind) && transliterate) text += ":transliterate=on";
  if (kind == FieldKind::Name && initials) text += ":initials=on";
  if (kind == FieldKind::Name && !swapWith.empty()) text += ":swap=" + swapWith;
  if ((UsesCompare(kind) || kind == FieldKind::Email) && edits) text += ":edits=on";
  if (kind == FieldKind::Code && tail > 0) text += ":tail=" + std::to_string(tail);
  return text;
}

FieldComparison DefaultComparison(std::string column, FieldKind kind) {
  FieldComparison comparison;
  comparison.column = std::move(column);
  comparison.kind = kind;
  if (kind == FieldKind::Name) {
    comparison.method = 2;
    comparison.thresholds = {95, 88, 80};
    comparison.termFrequencies = true;
  } else if (kind == FieldKind::Text) {
    comparison.method = 99;
    comparison.thresholds = {90, 75};
  } else if (kind == FieldKind::Exact || kind == FieldKind::Email) {
    comparison.termFrequencies = true;
  }
  return comparison;
}

FieldComparison ParseFieldComparison(std::string_view given) {
  std::vector<std::string_view> parts;
  while (true) {
    const std::size_t colon = given.find(':');
    parts.push_back(given.substr(0, colon));
    if (colon == std::string_view::npos) break;
    given.remove_prefix(colon + 1);
  }
  if (parts.size() < 2 || parts[0].empty())
    throw std::invalid_argument("a field is COLUMN:KIND[:KEY=VALUE...], not '" + std::string(parts[0]) + "'");
  FieldComparison comparison = DefaultComparison(std::string(parts[0]), ParseFieldKind(parts[1]));
  for (std::size_t i = 2; i < parts.size(); ++i) {
    const std::string_view part = parts[i];
    const std::size_t equals = part.find('=');
    const std::string_view key = part.substr(0, equals);
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : part.substr(equals + 1);
    const std::string kindName = NameOf(comparison.kind);
    if (equals == std::string_view::npos)
      throw std::invalid_argument("parameter '" + std::string(part) + "' is not KEY=VALUE");
    if (key == "method" && UsesCompare(comparison.kind)) {
      int method = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), method);
      if (error != std::errc() || end != value.data() + value.size() || method < -32768 || method > 32767)
        throw std::invalid_argument("method '" + std::string(value) + "' is not a whole number");
      comparison.method = static_cast<std::int16_t>(method);
    } else if (key == "levels" && UsesCompare(comparison.kind)) {
      comparison.thresholds = ParseLevels(value);
    } else if (key == "format" && comparison.kind == FieldKind::Date) {
      if (value.find("YYYY") == std::string_view::npos || value.find("MM") == std::string_view::npos ||
          value.find("DD") == std::string_view::npos)
        throw std::invalid_argument("date format '" + std::string(value) + "' needs YYYY, MM and DD");
      comparison.dateFormat = std::string(value);
    } else if (key == "tf" && (comparison.kind == FieldKind::Name || comparison.kind == FieldKind::Exact ||
                               comparison.kind == FieldKind::Email)) {
      if (value != "on" && value != "off")
        throw std::invalid_argument("tf must be on or off, not '" + std::string(value) + "'");
      comparison.termFrequencies = value == "on";
    } else if (key == "order" && comparison.kind == FieldKind::Name) {
      if (value != "any" && value != "written")
        throw std::invalid_argument("order must be any or written, not '" + std::string(value) + "'");
      comparison.anyOrder = value == "any";
    } else if (key == "nicknames" && comparison.kind == FieldKind::Name) {
      comparison.nicknames = ReadSwitch(key, value);
    } else if (key == "aliases" && comparison.kind == FieldKind::Name) {
      if (value.empty()) throw std::invalid_argument("aliases needs a file");
      comparison.aliases = std::string(value);
    } else if (key == "transliterate" && UsesCompare(comparison.kind)) {
      comparison.transliterate = ReadSwitch(key, value);
    } else if (key == "initials" && comparison.kind == FieldKind::Name) {
      comparison.initials = ReadSwitch(key, value);
    } else if (key == "swap" && comparison.kind == FieldKind::Name) {
      if (value.empty()) throw std::invalid_argument("swap needs a column");
      if (value == comparison.column) throw std::invalid_argument("swap needs another column than the field's own");
      comparison.swapWith = std::string(value);
    } else if (key == "edits" && (UsesCompare(comparison.kind) || comparison.kind == FieldKind::Email)) {
      comparison.edits = ReadSwitch(key, value);
    } else if (key == "tail" && comparison.kind == FieldKind::Code) {
      unsigned tail = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), tail);
      if (error != std::errc() || end != value.data() + value.size() || tail < 1 || tail > 1000)
        throw std::invalid_argument("tail '" + std::string(value) + "' is not a count from 1 to 1000");
      comparison.tail = tail;
    } else {
      throw std::invalid_argument("unknown parameter '" + std::string(key) + "' for kind " + kindName);
    }
  }
  return comparison;
}

NameOptions NameOptionsOf(const FieldComparison& comparison) {
  NameOptions options;
  if (!UsesCompare(comparison.kind)) return options;
  if (comparison.transliterate) {
    if (!TransliterationAvailable())
      throw RuntimeError(error::kInvalidProcedureCall,
                         "transliterate=on: this build cannot transliterate (it was built without ICU)");
    options.transliterate = true;
  }
  if (comparison.kind != FieldKind::Name) return options;
  options.anyOrder = comparison.anyOrder;
  if (!comparison.aliases.empty()) {
    NameTable own = NameTable::Read(comparison.aliases);
    if (comparison.nicknames) {
      auto merged = std::make_shared<NameTable>(*NameTable::English());
      merged->Add(own);
      options.aliases = std::move(merged);
    } else {
      options.aliases = std::make_shared<const NameTable>(std::move(own));
    }
  } else if (comparison.nicknames) {
    options.aliases = NameTable::English();
  }
  return options;
}

bool InitialsAgree(CompareUS& comparer, std::u16string_view first, std::u16string_view second, std::int16_t method,
                   double top) {
  const std::vector<std::u16string> a = InitialWords(first), b = InitialWords(second);
  if (a.size() < b.size()) return WordsCover(comparer, a, b, method, top);
  if (b.size() < a.size()) return WordsCover(comparer, b, a, method, top);
  return WordsCover(comparer, a, b, method, top) || WordsCover(comparer, b, a, method, top);
}

PreparedField::PreparedField(const FieldComparison& comparison, const std::vector<std::string_view>& values,
                             const FirstTexts* firstTexts, const std::vector<std::string_view>* swapValues)
    : data_(std::make_unique<Data>()) {
  Data& data = *data_;
  data.comparison = comparison;
  data.names = NameOptionsOf(comparison);
  NameOptions aliasesOnly;
  aliasesOnly.aliases = data.names.aliases;
  data.valueOfRecord.assign(values.size(), kNoValue);
  data.unreadable.assign(values.size(), 0);
  std::unordered_map<std::string, std::uint32_t> numbers;
  std::unordered_map<std::string, std::uint32_t> localNumbers;
  CompareUS transcriber;
  const bool needsSound = service::NeedsSound(service::CombinationFor(comparison.method));
  std::u16string wide;
  std::u16string folded;
  // The key of one value (empty when the value is), or nullopt when it cannot be read.
  std::uint32_t date = 0;
  const auto keyOf = [&](std::string_view value) -> std::optional<std::string> {
    switch (comparison.kind) {
      case FieldKind::Name:
      case FieldKind::Text:
      case FieldKind::Exact: try { Utf8ToUtf16(value, wide);
        } catch (const InvalidUtf8&) {
          return std::nullopt;
        }
        if (comparison.kind != FieldKind::Exact && wide.size() > CompareUS::kMaxLength) return std::nullopt;
        folded.resize(wide.size());
        similarity::UpperCaseInto(wide, folded.data());
        return Utf16ToUtf8(folded);
      case FieldKind::Date: {
        const auto read = ReadDate(value, comparison.dateFormat);
        if (!read) return std::nullopt;
        date = *read;
        return std::to_string(date);
      }
      case FieldKind::Code: {
        std::string key = linkage::CodeKey(value, comparison.tail);
        if (key.empty()) return std::nullopt;
        return key;
      }
      case FieldKind::Email: {
        std::string key = AsciiLower(value);
        const std::size_t at = key.find('@');
        if (at == std::string::npos || at == 0 || at + 1 >= key.size()) return std::nullopt;
        return key;
      }
    }
    return std::nullopt;
  };
  // Numbers a new value, `wide` holding its text, and works out what its comparisons need.
  const auto add = [&](std::string key) {
    const auto number = static_cast<std::uint32_t>(data.keys.size());
    if (UsesCompare(comparison.kind) && firstTexts != nullptr) {
      // The whole file's first text of this key: it reads, as it did there.
      if (const auto given = firstTexts->find(key); given != firstTexts->end()) Utf8ToUtf16(Trim(given->second), wide);
    }
    if (UsesCompare(comparison.kind)) {
      std::u16string form;
      if (needsSound) {
        try {
          form = transcriber.PhoneticForm(std::u16string_view(wide));
        } catch (const RuntimeError&) {
          form.clear();
        }
      }
      data.texts.push_back(wide);
      data.forms.push_back(std::move(form));
      if (comparison.hasAliasLevel()) {
        std::vector<std::u16string> aliasForms;
        for (const std::u16string& aliasForm : NameForms(wide, aliasesOnly)) aliasForms.push_back(Folded(aliasForm));
        std::sort(aliasForms.begin(), aliasForms.end());
        data.aliasForms.push_back(std::move(aliasForms));
      }
      if (comparison.kind == FieldKind::Name && comparison.initials)
        data.wordTexts.push_back(comparison.transliterate ? TransliterateToLatin(wide) : wide);
      if (comparison.hasEditLevel()) data.foldedTexts.push_back(Folded(data.texts.back()));
    }
    if (comparison.kind == FieldKind::Date) data.dates.push_back(date);
    if (comparison.kind == FieldKind::Email) {
      const std::string local = key.substr(0, key.find('@'));
      const auto localFound = localNumbers.try_emplace(local, static_cast<std::uint32_t>(localNumbers.size())).first;
      data.localParts.push_back(localFound->second);
    }
    numbers.emplace(key, number);
    data.keys.push_back(std::move(key));
    return number;
  };
  for (std::size_t record = 0; record < values.size(); ++record) {
    const std::string_view value = Trim(values[record]);
    if (value.empty()) continue;
    std::optional<std::string> key = keyOf(value);
    if (!key) {
      data.unreadable[record] = 1;
      ++data.unreadableCount;
      continue;
    }
    std::uint32_t number = 0;
    if (const auto found = numbers.find(*key); found != numbers.end()) {
      number = found->second;
    } else {
      number = add(std::move(*key));
      data.recordsWith.push_back(0);
      data.firstRecord.push_back(static_cast<std::uint32_t>(record));
    }
    data.valueOfRecord[record] = number;
    ++data.recordsWith[number];
  }
  data.ownValues = data.keys.size();
  if (comparison.hasSwappedLevel() && swapValues != nullptr) {
    if (swapValues->size() != values.size())
      throw std::invalid_argument("swap=" + comparison.swapWith + ": one value is needed per record");
    data.swapValueOfRecord.assign(values.size(), kNoValue);
    for (std::size_t record = 0; record < values.size(); ++record) {
      const std::string_view value = Trim((*swapValues)[record]);
      if (value.empty()) continue;
      std::optional<std::string> key = keyOf(value);
      if (!key) continue;
      const auto found = numbers.find(*key);
      data.swapValueOfRecord[record] = found != numbers.end() ? found->second : add(std::move(*key));
    }
  }
}

PreparedField::~PreparedField() = default;
PreparedField::PreparedField(PreparedField&&) noexcept = default;
PreparedField& PreparedField::operator=(PreparedField&&) noexcept = default;

const FieldComparison& PreparedField::comparison() const noexcept { return data_->comparison; }
std::size_t PreparedField::recordCount() const noexcept { return data_->valueOfRecord.size(); }
std::size_t PreparedField::unreadableCount() const noexcept { return data_->unreadableCount; }
bool PreparedField::unreadable(std::size_t record) const noexcept { return data_->unreadable[record] != 0; }
std::uint32_t PreparedField::valueOf(std::size_t record) const noexcept { return data_->valueOfRecord[record]; }
std::size_t PreparedField::distinctValues() const noexcept { return data_->ownValues; }
std::size_t PreparedField::comparedValues() const noexcept { return data_->texts.size(); }
std::string PreparedField::textOf(std::uint32_t value) const { return Utf16ToUtf8(data_->texts.at(value)); }
std::uint32_t PreparedField::recordsWith(std::uint32_t value) const noexcept { return data_->recordsWith[value]; }
const std::string& PreparedField::key(std::uint32_t value) const noexcept { return data_->keys[value]; }
std::uint32_t PreparedField::firstRecordWith(std::uint32_t value) const noexcept { return data_->firstRecord[value]; }

struct FieldComparer::State {
  CompareUS compare;  // keeps the process's rule automata alive
  similarity::CodeArrays scratch;
  // Per field: the levels already worked out, and the floor below which an
  // answer is "other" whatever it is (its search for the lowest ratio it
  // admits is done once, not per pair).
  struct Memory {
    std::uint64_t field;  // its serial: a field made where another was freed may have its address
    linkage::LevelMemory levels;
    service::Floor floor;
  };
  std::vector<Memory> memories;
  // A comparer kept for field after field forgets the oldest: a record has
  // far fewer fields than this.
  static constexpr std::size_t kMostFields = 32;

  Memory& MemoryOf(const PreparedField::Data& field) {
    for (Memory& memory : memories)
      if (memory.field == field.serial) return memory;
    if (memories.size() >= kMostFields) memories.erase(memories.begin());
    memories.push_back(
        {field.serial, linkage::LevelMemory(field.texts.size()), service::Floor(field.comparison.thresholds.back())});
    return memories.back();
  }
};

FieldComparer::FieldComparer() : state_(std::make_unique<State>()) {}
FieldComparer::~FieldComparer() = default;
FieldComparer::FieldComparer(FieldComparer&&) noexcept = default;
FieldComparer& FieldComparer::operator=(FieldComparer&&) noexcept = default;

double FieldComparer::Answer(const PreparedField& field, std::size_t first, std::size_t second) {
  const PreparedField::Data& data = field.data();
  const std::uint32_t a = data.valueOfRecord[first], b = data.valueOfRecord[second];
  if (a == PreparedField::kNoValue || b == PreparedField::kNoValue || !UsesCompare(data.comparison.kind))
    return CompareUS::kRefused;
  if (data.names.any())
    return CompareNames(state_->compare, data.texts[a], data.texts[b], data.comparison.method, data.names).answer;
  service::Scorer scorer(data.comparison.method, state_->scratch);
  scorer.SetQuery({data.texts[a], data.forms[a]});
  return scorer.Score({data.texts[b], data.forms[b]});
}

// Levels of names and text, best first: equal, alias, the first threshold,
// swapped, initials, the other thresholds, one-edit, other. Alias stands
// above every threshold: a name of the same group is the same name to
// whoever wrote it; swapped and initials stand below the first: they agree
// with many names; one edit agrees with few, but short names it leaves far
// below every threshold ("Jamse", "James"). This is the level of the two
// values themselves, so never "swapped", which Level works out.
std::uint8_t FieldComparer::NameLevel(const PreparedField::Data& data, std::uint32_t a, std::uint32_t b) {
  const FieldComparison& comparison = data.comparison;
  if (a == b) return 0;
  std::uint8_t next = 1;
  if (comparison.hasAliasLevel()) {
    const std::vector<std::u16string>&first = data.aliasForms[a], &second = data.aliasForms[b];
    std::size_t i = 0, j = 0;
    while (i < first.size() && j < second.size()) {
      if (first[i] == second[j]) return next;
      if (first[i] < second[j])
        ++i;
      else
        ++j;
    }
    ++next;
  }
  std::optional<double> answer;
  if (data.names.any()) {
    const double found =
        CompareNames(state_->compare, data.texts[a], data.texts[b], comparison.method, data.names).answer;
    if (found >= 0) answer = found;
  } else {
    service::Scorer scorer(comparison.method, state_->scratch);
    scorer.SetQuery({data.texts[a], data.forms[a]});
    answer = scorer.Score({data.texts[b], data.forms[b]}, state_->MemoryOf(data).floor, 1.0);
  }
  for (std::size_t i = 0; i < comparison.thresholds.size(); ++i) {
    if (answer && *answer >= comparison.thresholds[i]) return next;
    ++next;
    if (i == 0 && comparison.hasSwappedLevel()) ++next;
    if (i == 0 && comparison.kind == FieldKind::Name && comparison.initials) {
      if (InitialsAgree(state_->compare, data.wordTexts[a], data.wordTexts[b], comparison.method,
                        comparison.thresholds.front()))
        return next;
      ++next;
    }
  }
  if (comparison.hasEditLevel()) {
    if (OneEditApart<std::u16string_view>(data.foldedTexts[a], data.foldedTexts[b])) return next;
    ++next;
  }
  return next;
}

std::uint8_t FieldComparer::RememberedNameLevel(const PreparedField::Data& data, std::uint32_t a, std::uint32_t b) {
  linkage::LevelMemory& memory = state_->MemoryOf(data).levels;
  if (const std::optional<std::uint8_t> found = memory.Find(a, b)) return *found;
  const std::uint8_t level = NameLevel(data, a, b);
  memory.Remember(a, b, level);
  return level;
}

std::uint8_t FieldComparer::Level(const PreparedField& field, std::size_t first, std::size_t second) {
  const PreparedField::Data& data = field.data();
  const std::uint32_t a = data.valueOfRecord[first], b = data.valueOfRecord[second];
  if (a == PreparedField::kNoValue || b == PreparedField::kNoValue) return kMissingLevel;
  if (a == b) return 0;
  const FieldComparison& comparison = data.comparison;
  switch (comparison.kind) {
    case FieldKind::Exact: return 1;
    case FieldKind::Date: return DateLevel(data.dates[a], data.dates[b]);
    case FieldKind::Code: return CodeLevel(data.keys[a], data.keys[b]);
    case FieldKind::Email: {
      if (data.localParts[a] == data.localParts[b]) return 1;
      if (!comparison.edits) return 2;
      const std::string_view one = data.keys[a], other = data.keys[b];
      return OneEditApart(one.substr(0, one.find('@')), other.substr(0, other.find('@'))) ? 2 : 3;
    }
    case FieldKind::Name:
    case FieldKind::Text: break;
  }
  if (!comparison.hasSwappedLevel() || data.swapValueOfRecord.empty()) return RememberedNameLevel(data, a, b);
  const std::uint8_t level = RememberedNameLevel(data, a, b);
  // Swapped: below the first threshold, each record's value agrees (at any
  // level but other) with the other record's value of the swap column.
  const std::uint8_t swapped = comparison.hasAliasLevel() ? 3 : 2;
  if (level < swapped) return level;
  const std::uint32_t swapA = data.swapValueOfRecord[first], swapB = data.swapValueOfRecord[second];
  if (swapA == PreparedField::kNoValue || swapB == PreparedField::kNoValue) return level;
  const auto other = static_cast<std::uint8_t>(comparison.levelCount() - 1);
  if (RememberedNameLevel(data, a, swapB) != other && RememberedNameLevel(data, swapA, b) != other) return swapped;
  return level;
}

std::uint8_t CompareValues(const FieldComparison& comparison, std::string_view first, std::string_view second) {
  const PreparedField field(comparison, {first, second});
  FieldComparer comparer;
  return comparer.Level(field, 0, 1);
}

}  // namespace vantel
