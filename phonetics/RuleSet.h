// The rule containers of one comparison object: the rules as source text, the
// row of the last one, and their compiled form. Only the rule set itself
// writes them, so the compiled table and the automata of its contexts always
// follow the text they were compiled from.
//
// The texts of the rules are stored one after another in one buffer, which
// is never changed once built: storing rules builds a new one. The rows of
// the table are offsets into the text they were split from, which is the
// same buffer as RuleText's unless a compile stopped part way. Only the
// automata of the contexts may be shared with other rule sets, and only
// between rule sets whose text is the same: they are immutable once built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantel::phonetics {

// Rows 0 to 500: a rule set holds at most 501 rules.
inline constexpr std::int32_t kLastRuleRow = 500;
inline constexpr std::size_t kRuleRows = kLastRuleRow + 1;

// One compiled rule, as views into the text of the rule. The contexts are
// kept as written; what they mean when a rule is applied is the matcher's
// business. The views stay valid until the rule set is stored into or
// compiled again.
struct RuleRow {
  std::u16string_view key;           // the first character of the letters
  std::u16string_view leftContext;   // must match the text just before the letters
  std::u16string_view letters;       // the characters the rule transcribes
  std::u16string_view rightContext;  // must match the text just after the letters
  std::u16string_view phonemes;      // codes separated by single spaces; may be empty

  friend bool operator==(const RuleRow&, const RuleRow&) = default;
};

// Where the fields of a compiled rule lie in its text, as offsets from its
// start. Each delimiter (" [[ ", " ]] ", " -> ") is four units long.
struct RuleFields {
  static constexpr std::uint32_t kDelimiterLength = 4;
  std::uint32_t leftEnd;        // the left context is [0, leftEnd), " [[ " follows
  std::uint32_t lettersEnd;     // the letters are [leftEnd + 4, lettersEnd), " ]] " follows
  std::uint32_t rightEnd;       // the right context is [lettersEnd + 4, rightEnd), " -> " follows
  std::uint32_t phonemesBegin;  // the phonemes, without the spaces at either end
  std::uint32_t phonemesEnd;

  // The row, in the text of the rule these offsets were found in.
  RuleRow In(std::u16string_view rule) const noexcept {
    const char16_t* at = rule.data();
    const auto part = [at](std::uint32_t begin, std::uint32_t end) {
      return std::u16string_view(at + begin, end - begin);
    };
    return {part(leftEnd + kDelimiterLength, leftEnd + kDelimiterLength + 1), part(0, leftEnd),
            part(leftEnd + kDelimiterLength, lettersEnd), part(lettersEnd + kDelimiterLength, rightEnd),
            part(phonemesBegin, phonemesEnd)};
  }
};

// The texts of some rules, one after another in one buffer: slot i is the
// text of rule i. Immutable once made.
class RuleTexts {
 public:
  // The buffer goes on this many units past the end of the last slot, so
  // that a copy of that many units from anywhere within a slot stays inside it.
  static constexpr std::size_t kSpareUnits = 16;

  // Slots 0 to `count` - 1, slot i holding `slot(i)`. Throws RuntimeError
  // (overflow) beyond 2^32 - 1 units in all.
  template <typename Slot>
  static std::shared_ptr<const RuleTexts> Make(std::size_t count, const Slot& slot);

  std::size_t size() const noexcept { return ends_.size(); }
  // Where slot `index` (one of them) begins.
  const char16_t* Begin(std::size_t index) const noexcept {
    return chars_.data() + (index == 0 ? 0 : ends_[index - 1]);
  }
  // Empty beyond the last slot.
  std::u16string_view operator[](std::size_t index) const noexcept {
    if (index >= ends_.size()) return {};
    const std::uint32_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::u16string_view(chars_).substr(begin, ends_[index] - begin);
  }

 private:
  // Room for `units` units in `count` slots, and the spare units after them
  // (zeros). Throws RuntimeError (overflow) beyond 2^32 - 1 units.
  void Reserve(std::uint64_t units, std::size_t count);
  // The next slot; Reserve made room for it.
  void Append(std::u16string_view text) noexcept;

  std::u16string chars_;
  std::vector<std::uint32_t> ends_;  // where each slot ends in chars_
};

// What the matcher reads besides the table: the rows grouped by key and the
// automata of their contexts. Defined inside the phonetics layer.
class CompiledRules;

class RuleSet {
 public:
  // Slots 0 to 500 of RuleText; those not stored are empty.
  class TextView {
   public:
    std::u16string_view operator[](std::size_t slot) const noexcept { return texts_ ? (*texts_)[slot] : u""; }
    static constexpr std::size_t size() noexcept { return kRuleRows; }

   private:
    friend class RuleSet;
    explicit TextView(const RuleTexts* texts) noexcept : texts_(texts) {}
    const RuleTexts* texts_;
  };

  // Rows 0 to 500 of RuleTable; those never compiled are empty.
  class TableView {
   public:
    RuleRow operator[](std::size_t row) const noexcept {
      if (row >= rows_->size()) return {};
      return (*rows_)[row].In((*texts_)[row]);
    }
    static constexpr std::size_t size() noexcept { return kRuleRows; }

   private:
    friend class RuleSet;
    TableView(const std::vector<RuleFields>* rows, const RuleTexts* texts) noexcept : rows_(rows), texts_(texts) {}
    const std::vector<RuleFields>* rows_;
    const RuleTexts* texts_;
  };

  // Empty: no rule stored, none compiled, no rule applies.
  RuleSet();
  ~RuleSet();
  RuleSet(RuleSet&&) noexcept;
  RuleSet& operator=(RuleSet&&) noexcept;

  // Stores `source` in RuleText from row 0 on and sets RuleCount to the row
  // of the last one; slots past the end of `source` keep what they held. A
  // store past row 500 throws RuntimeError (subscript out of range); the
  // rows stored before it stay, and RuleCount names the row that was refused.
  void StoreRules(std::span<const std::u16string_view> source);

  // Stores the built-in English rules (rows 0 to 348, RuleCount 348).
  void LoadEnglishRules();

  // Splits RuleText rows 0 to RuleCount into RuleTable and builds the
  // automata of their contexts. A rule that lacks a delimiter, has them out
  // of order, or has no letters throws RuntimeError (invalid procedure call
  // or argument); a RuleCount past row 500 throws it (subscript out of range)
  // once rows 0 to 500 are done. The rows before a failing one are compiled,
  // it and the rows after it keep what they held. Contexts that together need
  // too large an automaton throw RuntimeError (out of memory). A context
  // outside the pattern dialect is not refused here but by the matcher, when
  // it reaches the row. After a failure no rule applies until a compile
  // succeeds. For the built-in English rules, the automata are built once in
  // the process and shared.
  void CompileRules();

  TextView RuleText() const noexcept { return TextView(text_.get()); }
  TableView RuleTable() const noexcept { return TableView(&rows_, tableText_.get()); }
  // The row of the last rule stored, not the number of rules.
  std::int16_t RuleCount() const noexcept { return count_; }

  const CompiledRules& compiled() const noexcept { return *compiled_; }

  // For the matcher: what a compiled row of rows 0 to RuleCount puts out,
  // and how many characters it covers. The phonemes lie in a buffer that
  // goes on for RuleTexts::kSpareUnits units past their end.
  struct Output {
    std::u16string_view phonemes;
    std::size_t letterCount;
  };
  Output OutputOf(std::size_t row) const noexcept {
    const RuleFields& fields = rows_[row];
    return {
        std::u16string_view(tableText_->Begin(row) + fields.phonemesBegin, fields.phonemesEnd - fields.phonemesBegin),
        fields.lettersEnd - fields.leftEnd - RuleFields::kDelimiterLength};
  }

 private:
  void KeepCompiled(std::vector<RuleFields>&& compiled);

  std::shared_ptr<const RuleTexts> text_;       // RuleText; null until rules are stored
  std::shared_ptr<const RuleTexts> tableText_;  // what RuleTable's rows were split from
  std::vector<RuleFields> rows_;                // RuleTable rows 0 to rows_.size() - 1
  std::int16_t count_ = 0;
  std::shared_ptr<const CompiledRules> compiled_;
};

template <typename Slot>
std::shared_ptr<const RuleTexts> RuleTexts::Make(std::size_t count, const Slot& slot) {
  auto texts = std::make_shared<RuleTexts>();
  std::uint64_t units = 0;
  for (std::size_t i = 0; i < count; ++i) units += slot(i).size();
  texts->Reserve(units, count);
  for (std::size_t i = 0; i < count; ++i) texts->Append(slot(i));
  return texts;
}

}  // namespace vantel::phonetics
