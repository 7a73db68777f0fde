// libFuzzer target: arbitrary pattern texts and subjects. The precomputed
// tables and the state-set simulation of the pattern engine must agree on
// every entry point at every position. Input layout: one byte giving the
// length of the pattern text, the pattern's bytes (as characters), then the
// subject's bytes, where bytes from 0x80 up stand for characters outside ASCII.
#include <cstddef>
#include <cstdint>
#include <string>

#include "phonetics/Pattern.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vantel::phonetics::Pattern;
  if (size < 1) return 0;
  const std::size_t patternLength = data[0] < size - 1 ? data[0] : size - 1;
  std::u16string text, subject;
  for (std::size_t i = 1; i <= patternLength; ++i) text += static_cast<char16_t>(data[i]);
  for (std::size_t i = 1 + patternLength; i < size; ++i) {
    subject += static_cast<char16_t>(data[i] < 0x80 ? data[i] : 0x100 + data[i]);
  }

  const auto tables = Pattern::Compile(text);
  const auto simulation = Pattern::Compile(text, 0);
  Require(tables.has_value() == simulation.has_value());
  if (!tables) return 0;
  Require(tables->Search(subject) == simulation->Search(subject));
  for (std::size_t at = 0; at <= subject.size() + 1; ++at) {
    Require(tables->MatchesAt(subject, at) == simulation->MatchesAt(subject, at));
    Require(tables->MatchesEndingAt(subject, at) == simulation->MatchesEndingAt(subject, at));
  }
  return 0;
}
