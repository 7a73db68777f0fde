// libFuzzer target: arbitrary pattern texts and subjects. The parser and the
// reference matcher of the tests must refuse the same texts, and the
// automata, walked forwards and backwards, must give the reference matcher's
// answer at every offset. Input layout: one byte giving the length of the
// pattern text, the pattern's bytes (as characters), then the subject's
// bytes, where bytes from 0x80 up stand for characters outside ASCII.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "phonetics/ContextAutomaton.h"
#include "phonetics/ContextSyntax.h"
#include "phonetics/ContextWalk.h"
#include "tests/phonetics/ReferencePattern.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantel::phonetics;
  if (size < 1) return 0;
  const std::size_t patternLength = data[0] < size - 1 ? data[0] : size - 1;
  std::u16string text, subject;
  for (std::size_t i = 1; i <= patternLength; ++i) text += static_cast<char16_t>(data[i]);
  for (std::size_t i = 1 + patternLength; i < size; ++i) {
    subject += static_cast<char16_t>(data[i] < 0x80 ? data[i] : 0x100 + data[i]);
  }

  const std::optional<ContextSequence> tree = ParseContext(text);
  const auto reference = testing::ReferencePattern::Parse(text);
  Require(tree.has_value() == reference.has_value());
  if (!tree) return 0;
  const ContextMember member[] = {{0, &*tree}};
  const auto forward = ContextAutomaton::Build(member, ScanDirection::kForward);
  const auto backward = ContextAutomaton::Build(member, ScanDirection::kBackward);
  for (std::size_t at = 0; at <= subject.size(); ++at) {
    if (forward)
      Require((WalkForward<Settle::kEvery>(*forward, subject, at, 1) == 1) == reference->MatchesAt(subject, at));
    if (backward) {
      Require((WalkBackward<Settle::kLowest>(*backward, subject, at, 1) == 1) ==
              reference->MatchesEndingAt(subject, at));
    }
  }
  return 0;
}
