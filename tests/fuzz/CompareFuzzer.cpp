// libFuzzer target: arbitrary UTF-16 strings and method numbers given to
// Compare and PhoneticForm. Input layout: two bytes of method number, one
// byte saying where the first string ends, then UTF-16 code units.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/AnswerInvariants.h"
#include "vantel/CompareUS.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One object for the whole run, as a client would keep it: no call may
  // depend on what an earlier one left behind.
  static vantel::CompareUS comparer;
  if (size < 3) return 0;
  const auto method = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[0] | (data[1] << 8)));
  std::u16string units;
  for (std::size_t i = 3; i + 1 < size; i += 2) units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  const std::size_t split = data[2] < units.size() ? data[2] : units.size();
  const std::u16string_view first = std::u16string_view(units).substr(0, split);
  const std::u16string_view second = std::u16string_view(units).substr(split);

  const double answer = comparer.Compare(first, second, method);
  const bool comparable = !first.empty() && !second.empty() && first.size() <= 70 && second.size() <= 70;
  if (!comparable) {
    Require(answer == -1.0);
  } else {
    Require(vantel::testing::IsCutToTwoDecimals(answer));
    // A single measure's answer is the cut of 2M / (L1 + L2) for some count
    // M; the larger and the smaller are one of the two measures' answers.
    const auto length = [](std::u16string_view text) { return static_cast<std::int32_t>(text.size()); };
    const std::int32_t formLength1 = length(comparer.PhoneticForm(first));
    const std::int32_t formLength2 = length(comparer.PhoneticForm(second));
    const bool spellingShaped = vantel::testing::IsMeasureAnswerFor(answer, length(first), length(second));
    const bool soundShaped = vantel::testing::IsMeasureAnswerFor(answer, formLength1, formLength2);
    if (method == 99) Require(spellingShaped);
    if (method == 3) Require(soundShaped);
    if (method != 2) Require(spellingShaped || soundShaped);
    Require(comparer.Compare(first, first, method) == 100.0);
  }
  comparer.PhoneticForm(first);
  comparer.PhoneticForm(second);
  return 0;
}
