// Walking a context automaton over a subject: the third stage of the pattern
// engine, after the parser (ContextSyntax.h) and the builder
// (ContextAutomaton.h).
//
// A walk reads one character a step, forwards from an offset to the end of
// the subject or backwards from an offset to its start, and gathers the
// patterns that have matched. "^" and "$" refer to the whole subject: a walk
// that starts at the edge it reads away from begins in the state where its
// own "^" (for a backward walk, the pattern's "$") may hold, and the state in
// which the subject runs out answers for "$". A walk only ever costs one
// table lookup a character, and it stops as soon as its answer is settled,
// which for most rule contexts is after a character or two:
// - kEvery: every wanted pattern has matched or can no longer match;
// - kLowest: the lowest wanted pattern that matches is known, because one has
//   matched and no pattern below it is still open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ContextAutomaton.h"

namespace vantel::phonetics {

enum class Settle : std::uint8_t { kEvery, kLowest };

template <Settle kSettle>
constexpr bool IsSettled(std::uint64_t found, std::uint64_t open) noexcept {
  if constexpr (kSettle == Settle::kEvery) {
    return open == 0;
  } else {
    // Below the lowest open pattern: (open & -open) - 1, all bits when none is.
    return open == 0 || (found & ((open & (~open + 1)) - 1)) != 0;
  }
}

// The wanted patterns of `automaton` (built kForward) that match
// subject[from, from + k) for some k. With kLowest, only the lowest bit of
// the answer is certain. `from` must not lie beyond the subject.
template <Settle kSettle>
std::uint64_t WalkForward(const ContextAutomaton& automaton, std::u16string_view subject, std::size_t from,
                          std::uint64_t wanted) noexcept {
  const char16_t* cursor = subject.data() + from;
  const char16_t* const stop = subject.data() + subject.size();
  std::uint32_t state = automaton.Start(from == 0);
  std::uint64_t found = 0;
  for (;;) {
    const ContextAutomaton::State info = automaton.state(state);
    if (cursor == stop) return (found | info.acceptAtEnd) & wanted;
    found |= info.acceptInside & wanted;
    if (IsSettled<kSettle>(found, info.open & wanted)) return found;
    state = automaton.Next(state, *cursor++);
  }
}

// The wanted patterns of `automaton` (built kBackward) that match
// subject[end - k, end) for some k. With kLowest, only the lowest bit of the
// answer is certain. `end` must not lie beyond the subject.
template <Settle kSettle>
std::uint64_t WalkBackward(const ContextAutomaton& automaton, std::u16string_view subject, std::size_t end,
                           std::uint64_t wanted) noexcept {
  const char16_t* cursor = subject.data() + end;
  const char16_t* const stop = subject.data();
  std::uint32_t state = automaton.Start(end == subject.size());
  std::uint64_t found = 0;
  for (;;) {
    const ContextAutomaton::State info = automaton.state(state);
    if (cursor == stop) return (found | info.acceptAtEnd) & wanted;
    found |= info.acceptInside & wanted;
    if (IsSettled<kSettle>(found, info.open & wanted)) return found;
    state = automaton.Next(state, *--cursor);
  }
}

}  // namespace vantel::phonetics
