// Names as people write them: the same person as "Smith, John" and "John
// Smith", as "Bob" and "Robert", as "Дмитрий" and "Dmitriy". Under these
// options a string stands for several forms of itself, and a pair's answer is
// the largest answer of CompareUS::Compare over pairs of forms of its two
// strings: any form as written (the string, its transliteration, its alias
// forms) with any form as written of the other, and, under any word order,
// any of those with its words sorted with any of the other's so sorted.
// Compare itself and every answer without options stay as they are.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vantel/CompareUS.h"
#include "vantel/Match.h"

namespace vantel {

// Groups of given names: a formal name and the short forms that stand for it
// (Robert: Bob, Bobby, Rob). A name may belong to several groups (Ted:
// Edward and Theodore). Names are looked up with letter case ignored.
class NameTable {
 public:
  NameTable() = default;

  // The built-in table of English given names, built into the library.
  static std::shared_ptr<const NameTable> English();

  // A table from CSV text: one group a row, the formal name first; blank
  // lines and lines that start with '#' are skipped. A row with an empty
  // name, or text that is not UTF-8, throws RuntimeError 5 whose
  // description names `source` and the line.
  static NameTable Parse(std::string_view csv, std::string_view source);
  // The same from a file; one that cannot be read throws RuntimeError 5
  // naming it.
  static NameTable Read(const std::string& path);

  // Adds the groups of `other`; a group whose formal name this table has
  // already gains the other's short forms.
  void Add(const NameTable& other);

  std::size_t groupCount() const noexcept { return formal_.size(); }
  // The formal names of the groups that hold `name`, in the table's order.
  std::vector<std::u16string_view> FormalNamesOf(std::u16string_view name) const;

 private:
  void AddGroup(const std::vector<std::u16string>& names);

  std::vector<std::u16string> formal_;
  std::unordered_map<std::u16string, std::vector<std::uint32_t>> groupsOf_;  // lower-cased name -> groups
};

// Which forms of a string take part. All off: the string alone, and every
// answer is Compare's.
struct NameOptions {
  // Also the string's words sorted and lower-cased ("SMITH, John" ->
  // "john smith").
  bool anyOrder = false;
  // Also the forms in which each word of a group is replaced by the group's
  // formal name; none when null.
  std::shared_ptr<const NameTable> aliases;
  // Also the string in Latin letters (ICU's "Any-Latin; Latin-ASCII").
  bool transliterate = false;

  bool any() const noexcept { return anyOrder || aliases != nullptr || transliterate; }
};

// A string has at most this many forms as written, itself included, and as
// many sorted: a string whose words belong to many groups keeps the first
// forms in a fixed order (those that replace fewer words first).
inline constexpr std::size_t kMostNameForms = 32;

// Whether this build transliterates (it was built with ICU). Without it,
// asking for transliteration throws RuntimeError 5.
bool TransliterationAvailable() noexcept;

// The words (split at spaces, commas and hyphens) in lower case, sorted and
// joined with single spaces.
std::u16string SortedWords(std::u16string_view text);

// The words of a name as SortedWords splits them (at spaces, commas and
// hyphens), as written.
std::vector<std::u16string> NameWords(std::u16string_view text);

// The text in Latin letters; text that ICU cannot handle comes back as it is.
std::u16string TransliterateToLatin(std::u16string_view text);

// The forms of `text` as written under `options`: the text itself first,
// then each further form once, each of 1 to 70 UTF-16 code units; at most
// kMostNameForms. Its transliteration comes first, then the alias forms of
// the text and of its transliteration.
std::vector<std::u16string> NameForms(std::u16string_view text, const NameOptions& options);
// Under any word order, those forms with their words sorted, each once; none otherwise.
std::vector<std::u16string> SortedNameForms(const std::vector<std::u16string>& forms, const NameOptions& options);

// A pair's answer under options, and the forms that gave it (the first pair
// of forms that reaches the largest answer: as written before sorted, then in
// form order).
struct NamesAnswer {
  double answer = CompareUS::kRefused;
  std::u16string first, second;
};

// The largest Compare over the forms of the two strings, or kRefused when
// either string is empty or longer than 70 code units. With no option on,
// exactly Compare(first, second, method).
NamesAnswer CompareNames(CompareUS& comparer, std::u16string_view first, std::u16string_view second,
                         std::int16_t method, const NameOptions& options);

// Bulk matching under options: every pair whose CompareNames answer reaches
// the threshold, and no other, in the Matcher's order. Every form of every
// string takes part in a Matcher's scan (one for the forms as written, one
// for the sorted ones) and a pair keeps the largest answer of its forms, so
// no pair is missed. The options' checkpoint is asked while the forms are
// made as well as while they are prepared, so it can stop either.
class NameMatcher {
 public:
  NameMatcher(const std::vector<std::u16string>& queries, const std::vector<std::u16string>& candidates,
              const MatchOptions& options, const NameOptions& names);
  NameMatcher(const std::vector<std::u16string>& strings, const MatchOptions& options, const NameOptions& names);
  ~NameMatcher();
  NameMatcher(NameMatcher&&) noexcept;
  NameMatcher& operator=(NameMatcher&&) noexcept;

  // As the Matcher's, by index in the lists given here.
  const std::vector<Rejection>& rejections() const noexcept;
  // The pairs of forms that a run considers.
  std::uint64_t pairCount() const noexcept;
  // How many forms the strings of the lists have in all (queries, candidates).
  std::size_t formCount() const noexcept;

  void Run(const Matcher::PairSink& emit, const Matcher::ProgressSink& progress = {},
           std::chrono::milliseconds interval = std::chrono::milliseconds(100)) const;
  std::vector<ScoredPair> Run() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vantel
