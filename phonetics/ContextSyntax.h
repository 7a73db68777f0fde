// The rule contexts' pattern dialect, parsed into a tree: the first stage of
// the pattern engine (then ContextAutomaton.h builds automata, and the rule
// matcher walks them).
//
// The dialect: literal characters; bracket classes that list their members
// ("[aeiou]"), optionally followed by "+" or "*"; the anchors "^" and "$",
// which hold only at the very start and the very end of the subject wherever
// they stand; and parenthesised alternatives ("(er|e|es)"), possibly empty and
// nested. Nothing else is accepted: no ranges, negated classes, escapes, ".",
// "?", "{...}", quantifiers on anything but a class, nor "|" outside
// parentheses. Case is ignored for the ASCII letters only; every other
// character (subjects are UTF-16 code units) equals only itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vantel::phonetics {

// The characters one literal or bracket class stands for.
class CharSet {
 public:
  // Adds `c`, and the other case of an ASCII letter.
  void Add(char16_t c);
  bool Contains(char16_t c) const noexcept;
  // The characters beyond ASCII, sorted and without duplicates.
  const std::vector<char16_t>& others() const noexcept { return others_; }
  // Bit c of the word c / 64 for each ASCII member c.
  const std::array<std::uint64_t, 2>& ascii() const noexcept { return ascii_; }

 private:
  std::array<std::uint64_t, 2> ascii_{};
  std::vector<char16_t> others_;
};

struct ContextElement;
using ContextSequence = std::vector<ContextElement>;

struct ContextElement {
  enum class Kind : std::uint8_t { kChars, kBegin, kEnd, kGroup };
  Kind kind = Kind::kChars;
  char16_t quantifier = 0;                    // 0, '+' or '*'; only on bracket classes
  CharSet chars;                              // kChars
  std::vector<ContextSequence> alternatives;  // kGroup
};

// Groups nested deeper than this are refused, which bounds the recursion of
// the parser and of the automaton builder.
inline constexpr std::size_t kMaxContextNesting = 200;

// The tree of `text`, or nullopt when it is outside the dialect.
std::optional<ContextSequence> ParseContext(std::u16string_view text);

// `letters` as literal characters (never pattern syntax), each matching
// either case of an ASCII letter, followed by `then`.
ContextSequence LiteralThen(std::u16string_view letters, ContextSequence then);

}  // namespace vantel::phonetics
