// Gestalt pattern matching: how alike two strings are as sequences of characters.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vantel::similarity {

// Working storage of one ratio computation. The owner keeps it between calls so
// that repeated comparisons do not allocate; every call starts by resizing it
// and leaves CodesA and CodesB empty when it returns.
struct CodeArrays {
  struct Segment {
    std::int32_t start1, end1, start2, end2;
  };
  std::vector<char16_t> CodesA;          // the character codes of the first string, position p at index p - 1
  std::vector<char16_t> CodesB;          // likewise for the second string
  std::vector<std::uint16_t> shortRuns;  // two rows of the run-length table
  std::vector<std::int32_t> runLengths;  // the same, for ranges of 65535 or more
  std::vector<Segment> pending;
};

// Twice the number of characters the two strings have in common, divided by
// the sum of their lengths: a ratio from 0 to 1. With ExactCase false, letter
// case is ignored. The ratio depends on the order of the arguments.
// Throws RuntimeError (overflow) for strings whose lengths do not fit 32 bits.
double SimilarityRatio(std::u16string_view first, std::u16string_view second, bool ExactCase, CodeArrays& scratch);
double SimilarityRatio(std::u16string_view first, std::u16string_view second, bool ExactCase);

// The ratio SimilarityRatio reports when `common` characters of two different
// strings of these lengths are matched: 2 * common / (length1 + length2),
// rounded once. `common` beyond the shorter length is cut to it; an empty
// string matches nothing (0), two empty strings are equal (1). Lengths must
// be below 2^30. For fixed lengths the ratio never decreases as `common`
// grows, which is what makes a bound on `common` a bound on the ratio.
double RatioOfCommon(std::int32_t common, std::int32_t length1, std::int32_t length2) noexcept;

// The number of characters matched between positions Start1..End1 of
// scratch.CodesA and Start2..End2 of scratch.CodesB (1-based, inclusive): the
// longest common run, plus the count to its right, plus the count to its left.
// Among runs of the greatest length the one with the smallest position in the
// first range wins, then the smallest in the second. Empty or out-of-range
// ranges (a start below 1 included) count 0.
std::int32_t CountCommonChars(CodeArrays& scratch, std::int32_t Start1, std::int32_t End1, std::int32_t Start2,
                              std::int32_t End2);

}  // namespace vantel::similarity
