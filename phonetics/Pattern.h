// Context patterns of the letter-to-sound rules: a small regular-expression
// dialect, compiled once and then tested at a given position of a subject.
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

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace vantel::phonetics {

class Pattern {
 public:
  // Automata larger than this fall back to a slower, still linear, simulation.
  static constexpr std::size_t kDefaultMaxAutomatonStates = 512;

  // nullopt when `text` is outside the dialect (or nests groups more than 200
  // deep).
  static std::optional<Pattern> Compile(std::u16string_view text);
  // As above, with a cap on the states of each precomputed automaton; 0 makes
  // every entry point use the simulation.
  static std::optional<Pattern> Compile(std::u16string_view text, std::size_t maxAutomatonStates);

  // Some match begins exactly at `start` (its end is free). ^ and $ refer to
  // the whole subject. False when `start` lies beyond the subject.
  bool MatchesAt(std::u16string_view subject, std::size_t start) const;

  // Some match ends exactly at `end` (its start is free). ^ and $ refer to the
  // whole subject. False when `end` lies beyond the subject.
  bool MatchesEndingAt(std::u16string_view subject, std::size_t end) const;

  // Some match anywhere in `subject`.
  bool Search(std::u16string_view subject) const;

  // True when all three entry points run on precomputed automata rather than
  // on the simulation.
  bool IsDeterministic() const noexcept;

  struct Impl;

 private:
  explicit Pattern(std::shared_ptr<const Impl> impl) noexcept : impl_(std::move(impl)) {}

  std::shared_ptr<const Impl> impl_;  // immutable, so copies share it
};

}  // namespace vantel::phonetics
