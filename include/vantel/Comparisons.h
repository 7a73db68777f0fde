// Field comparisons for record linkage: each turns the two values of one
// field of two records into a level, an ordered category from 0 (the best
// agreement) to the last ("other"), or into kMissingLevel when either value
// is empty or cannot be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vantel/NameForms.h"

namespace vantel {

enum class FieldKind : std::uint8_t {
  Name,   // Compare's answer: equal ignoring case, then one level per threshold, then other
  Text,   // the same for longer text (the spelling measure by default)
  Exact,  // equal after trimming and ignoring case, or not
  Date,   // equal, day and month swapped, one digit different, same year and month, other
  Code,   // letters and digits only: equal, one substituted or two adjacent swapped, other
  Email,  // equal, same address before the @, (with edits) one edit apart before the @, other
};

const char* NameOf(FieldKind kind) noexcept;

inline constexpr std::uint8_t kMissingLevel = 255;

// How one field is compared. Built by DefaultComparison or
// ParseFieldComparison; the parameters that do not apply to its kind are
// ignored.
struct FieldComparison {
  std::string column;
  FieldKind kind = FieldKind::Exact;
  std::int16_t method = 2;         // name and text: Compare's LaMethode
  std::vector<double> thresholds;  // name and text: the answers of the levels after "equal", descending
  std::string dateFormat;          // date: "" reads YYYY-MM-DD and YYYYMMDD; else e.g. DD/MM/YYYY
  bool termFrequencies = false;    // name and exact: exact agreement weighs by the value's frequency
  // Name forms (see NameForms.h). The answer of a name field is CompareNames
  // under them; all off, it is Compare's.
  bool anyOrder = false;       // name: order=any, also the words sorted
  bool nicknames = false;      // name: nicknames=on, the built-in name table, and the level "alias"
  std::string aliases;         // name: aliases=FILE, a table of name groups (added to the built-in one)
  bool transliterate = false;  // name and text: transliterate=on, also the text in Latin letters
  bool initials = false;       // name: initials=on, the level "initials"
  // Name: swap=COLUMN, another name field. The level "swapped" says that
  // this field of each record agrees with COLUMN of the other, both ways: a
  // given name and a surname written in each other's place.
  std::string swapWith;
  bool edits = false;      // name, text and email: edits=on, the level "one-edit" before other
  std::uint32_t tail = 0;  // code: tail=N, only the last N letters and digits (0: all)

  // Name: whether the level "alias" is there (nicknames or aliases given).
  bool hasAliasLevel() const noexcept { return kind == FieldKind::Name && (nicknames || !aliases.empty()); }
  bool hasSwappedLevel() const noexcept { return kind == FieldKind::Name && !swapWith.empty(); }
  bool hasEditLevel() const noexcept { return (kind == FieldKind::Name || kind == FieldKind::Text) && edits; }
  std::size_t levelCount() const noexcept;
  std::vector<std::string> levelNames() const;
  // The field as ParseFieldComparison reads it back: "surname:name:method=2:levels=95,88,80".
  std::string Describe() const;

  friend bool operator==(const FieldComparison&, const FieldComparison&) = default;
};

// The documented defaults of a kind: name method 2 with levels 95, 88, 80
// and term frequencies; text method 99 with levels 90, 75; exact with term
// frequencies.
FieldComparison DefaultComparison(std::string column, FieldKind kind);

// Reads "COLUMN:KIND[:KEY=VALUE]...", KEY one of method, levels (thresholds
// separated by commas, descending), format (date layout of YYYY, MM, DD and
// other characters taken literally), tf (on or off), for names order
// (written or any), nicknames, transliterate and initials (on or off),
// aliases (a file; read by NameOptionsOf, not here) and swap (a column), for
// names, text and e-mail edits (on or off), for codes tail (a count). Throws
// std::invalid_argument that names the kind, key or value that is wrong.
FieldComparison ParseFieldComparison(std::string_view given);
FieldKind ParseFieldKind(std::string_view name);  // throws std::invalid_argument listing the kinds

// The options of name forms that a name or text field stands for, its table
// of name groups read: the built-in one with nicknames, the file's with
// aliases, both merged with both. A file that cannot be read or used, or
// transliteration in a build without ICU, throws RuntimeError 5 that names
// the file and line.
NameOptions NameOptionsOf(const FieldComparison& comparison);

// Whether the words of two names agree as initials: every word of the name
// with fewer words (either, when they have as many) is a single letter, with
// or without a full stop, equal to the first letter of a word of the other,
// or reaches Compare's answer `top` with one, each word of the other used
// once. A word of initials with full stops ("J.R.") stands for its letters.
bool InitialsAgree(CompareUS& comparer, std::u16string_view first, std::u16string_view second, std::int16_t method,
                   double top);

// The text that a value of a name or text field is compared by, by the
// value's key (PreparedField::key): that of the first record holding it.
using FirstTexts = std::unordered_map<std::string, std::string>;

// The values of one field of every record, read once: normalised, interned
// (records with equal values share a value number) and, for name and text,
// with their phonetic forms worked out. For linking two files the records of
// both are given one after the other. A name or text value is compared by
// the text of the first record that holds it, or by that of `firstTexts`
// when it has the value's key: the records are then a part of a larger file
// (a partition on a cluster) and compare as that file does.
//
// A name field with swap=COLUMN is also given the values of COLUMN
// (`swapValues`, one per record), read as its own values are: those that it
// does not hold itself are numbered after its own (distinctValues() counts
// only its own; comparedValues() both).
class PreparedField {
 public:
  static constexpr std::uint32_t kNoValue = 0xFFFFFFFFu;

  PreparedField(const FieldComparison& comparison, const std::vector<std::string_view>& values,
                const FirstTexts* firstTexts = nullptr, const std::vector<std::string_view>* swapValues = nullptr);
  ~PreparedField();
  PreparedField(PreparedField&&) noexcept;
  PreparedField& operator=(PreparedField&&) noexcept;

  const FieldComparison& comparison() const noexcept;
  std::size_t recordCount() const noexcept;
  // Values that are not empty but cannot be read (a date that is not a date,
  // a name that is not valid UTF-8 or longer than Compare takes).
  std::size_t unreadableCount() const noexcept;
  bool unreadable(std::size_t record) const noexcept;
  // The number of the record's value for exact agreement (case and outer
  // spaces ignored), kNoValue when missing.
  std::uint32_t valueOf(std::size_t record) const noexcept;
  std::size_t distinctValues() const noexcept;
  // How many records hold each value.
  std::uint32_t recordsWith(std::uint32_t value) const noexcept;
  // The normalised text that makes a value one (equal in every PreparedField of the same comparison).
  const std::string& key(std::uint32_t value) const noexcept;
  // The first record that holds a value.
  std::uint32_t firstRecordWith(std::uint32_t value) const noexcept;
  // Name and text: the values compared, the field's own and those of its swap column.
  std::size_t comparedValues() const noexcept;
  // Name and text: the text a value is compared by (trimmed, UTF-8).
  std::string textOf(std::uint32_t value) const;

  struct Data;
  const Data& data() const noexcept { return *data_; }

 private:
  std::unique_ptr<Data> data_;
};

// Works out levels. It keeps a Compare object and remembers the answers it
// has computed, so one comparer must not be used by two threads at once;
// give each thread its own.
class FieldComparer {
 public:
  FieldComparer();
  ~FieldComparer();
  FieldComparer(FieldComparer&&) noexcept;
  FieldComparer& operator=(FieldComparer&&) noexcept;

  std::uint8_t Level(const PreparedField& field, std::size_t first, std::size_t second);
  // Compare's answer for the two values of a name or text field (-1 when missing).
  double Answer(const PreparedField& field, std::size_t first, std::size_t second);

 private:
  std::uint8_t NameLevel(const PreparedField::Data& data, std::uint32_t a, std::uint32_t b);
  std::uint8_t RememberedNameLevel(const PreparedField::Data& data, std::uint32_t a, std::uint32_t b);

  struct State;
  std::unique_ptr<State> state_;
};

// The level of two values compared on their own, for tests and explanations.
std::uint8_t CompareValues(const FieldComparison& comparison, std::string_view first, std::string_view second);

}  // namespace vantel
