// Deterministic automata that test the patterns of up to 64 rules at once:
// the second stage of the pattern engine, between the parser
// (ContextSyntax.h) and the walks of the rule matcher (ContextWalk.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "ContextSyntax.h"

namespace vantel::phonetics {

// One pattern of a set, and the bit (0 to 63) that stands for it in the
// automaton's answers.
struct ContextMember {
  unsigned bit;
  const ContextSequence* pattern;
};

enum class ScanDirection : std::uint8_t {
  kForward,   // patterns read left to right, from a start offset towards the end
  kBackward,  // patterns read right to left, from an end offset towards the start
};

// The automaton of a set of patterns. A walk over a subject starts at an
// offset, at one of the two start states (the offset lies at the subject's
// edge where the walk begins, or inside it), and moves one state per
// character. Each state tells which patterns have matched the characters
// read so far: those that hold there when the subject goes on, and those
// that hold when it ends there ("$"). Once a pattern has matched, it is
// decided, and the states drop it; `open` names the patterns that may still
// match further on.
class ContextAutomaton {
 public:
  // Automata larger than this are refused: a subset construction can grow
  // exponentially with patterns such as "[ab]*a[ab][ab][ab]...".
  static constexpr std::size_t kMaxStates = 4096;

  // A state's answers, as the walks read them.
  struct State {
    std::uint64_t acceptInside;  // matched, if the subject goes on
    std::uint64_t acceptAtEnd;   // matched, if the subject ends here
    std::uint64_t open;          // may still match after more characters
  };

  // The automaton of `members` read in `direction`; nullopt when it would
  // need more than kMaxStates states or more than 256 classes of characters.
  static std::optional<ContextAutomaton> Build(std::span<const ContextMember> members, ScanDirection direction);

  // States are named by where their row begins in the table.
  std::uint32_t Start(bool atEdge) const noexcept { return atEdge ? startAtEdge_ : startInside_; }
  State state(std::uint32_t at) const noexcept {
    const std::uint32_t* row = table_.data() + at;
    return {Word(row), Word(row + 2), Word(row + 4)};
  }
  std::uint32_t Next(std::uint32_t at, char16_t unit) const noexcept {
    return table_[at + kStateWords + ClassOf(unit)];
  }
  std::size_t StateCount() const noexcept { return table_.size() / (kStateWords + classes_); }

 private:
  ContextAutomaton() = default;

  // Characters that no pattern tells apart share a class; class 0 holds
  // those that no pattern names.
  std::uint32_t ClassOf(char16_t unit) const noexcept {
    if (unit < 128) return ascii_[unit];
    return others_.empty() ? 0 : ClassBeyondAscii(unit);
  }
  std::uint32_t ClassBeyondAscii(char16_t unit) const noexcept;

  // A row of the table: the three words of State, each in two entries (as
  // memcpy lays them out), then the row of the next state for each class.
  static constexpr std::uint32_t kStateWords = 6;
  static std::uint64_t Word(const std::uint32_t* entries) noexcept {
    std::uint64_t word;
    std::memcpy(&word, entries, sizeof word);
    return word;
  }

  std::array<std::uint8_t, 128> ascii_{};
  std::vector<std::pair<char16_t, std::uint8_t>> others_;  // sorted by character
  std::uint32_t classes_ = 1;
  std::vector<std::uint32_t> table_;
  std::uint32_t startAtEdge_ = 0;
  std::uint32_t startInside_ = 0;
};

}  // namespace vantel::phonetics
