// The common-character count looks for the longest common run of two ranges,
// then counts the pieces to its right and to its left in the same way.
//
// Ranges of up to 64 units on each side, which is every string Compare
// accepts and the phonetic forms of ordinary names, are counted on bit rows
// (BitParallelCount.cpp). Longer ones take the general path here.
//
// On the general path the longest run is found with a run-length table instead of extending a run
// from every pair of start positions: walking the first range backwards, the
// run that starts at (i, j) is one longer than the run at (i + 1, j + 1) when
// the characters at (i, j) are equal. This finds the same run at the same
// positions in O(n * m) per level instead of O(n * m * run length).
//
// The pieces are kept on an explicit stack rather than in native recursion, so
// that no input, however long, can exhaust the call stack; the right-hand
// pieces are still examined before the left-hand ones.

#include "GestaltRatio.h"

#include <algorithm>
#include <array>
#include <limits>

#include "BitParallelCount.h"
#include "UpperCase.h"
#include "vantel/Errors.h"

namespace vantel::similarity {
namespace {

std::int32_t CheckedSum(std::int32_t a, std::int32_t b) {
  std::int32_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) throw RuntimeError(error::kOverflow);
  return sum;
}

std::int32_t LengthOf(std::u16string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw RuntimeError(error::kOverflow);
  }
  return static_cast<std::int32_t>(text.size());
}

void FillCodes(std::vector<char16_t>& codes, std::u16string_view text, bool ExactCase) {
  if (ExactCase) {
    codes.assign(text.begin(), text.end());
  } else {
    codes.resize(text.size());
    UpperCaseInto(text, codes.data());
  }
}

// Divided first and doubled after: doubling is exact, so this is
// 2 * common / lengthSum rounded once.
double RatioOfSum(std::int32_t common, std::int32_t lengthSum) noexcept {
  return static_cast<double>(common) / static_cast<double>(lengthSum) * 2.0;
}

struct BestRun {
  std::int32_t length = 0;
  std::int32_t pos1 = 0;
  std::int32_t pos2 = 0;
};

// Rows are visited from the last to the first; row i of the table is built
// from row i + 1 (`below`) into `row`, both with a trailing zero standing for
// the position past End2. The row loop and the row maximum have no branches,
// so the compiler vectorises them; only a row that reaches the best length so
// far is searched for its first maximum. Such a row lies above the best run
// found so far, so it wins a tie: among the longest runs the one with the
// smallest position in the first range, then in the second, is kept.
template <typename Run>
BestRun LongestCommonRun(const char16_t* a, const char16_t* b, const CodeArrays::Segment& segment, Run* below,
                         Run* row) {
  const auto width = static_cast<std::size_t>(segment.end2 - segment.start2) + 1;
  const char16_t* columns = b + segment.start2;
  std::fill(below, below + width + 1, Run{0});
  row[width] = 0;

  BestRun best;
  for (std::int32_t i = segment.end1; i >= segment.start1; --i) {
    const char16_t code = a[i];
    Run rowMax = 0;
    for (std::size_t j = 0; j < width; ++j) {
      row[j] = columns[j] == code ? static_cast<Run>(below[j + 1] + 1) : Run{0};
      rowMax = std::max(rowMax, row[j]);
    }
    if (rowMax > 0 && rowMax >= best.length) {
      const auto first = static_cast<std::int32_t>(std::find(row, row + width, rowMax) - row);
      best = {static_cast<std::int32_t>(rowMax), i, segment.start2 + first};
    }
    std::swap(below, row);
  }
  return best;
}

BestRun LongestCommonRun(CodeArrays& scratch, const CodeArrays::Segment& segment) {
  const char16_t* a = scratch.CodesA.data() - 1;  // 1-based views
  const char16_t* b = scratch.CodesB.data() - 1;
  const auto width = static_cast<std::size_t>(segment.end2 - segment.start2) + 1;
  // 16-bit run lengths double the lanes per vector; a run is never longer
  // than the first range.
  if (segment.end1 - segment.start1 < 0xFFFF) {
    scratch.shortRuns.resize(2 * (width + 1));
    return LongestCommonRun<std::uint16_t>(a, b, segment, scratch.shortRuns.data(),
                                           scratch.shortRuns.data() + width + 1);
  }
  scratch.runLengths.resize(2 * (width + 1));
  return LongestCommonRun<std::int32_t>(a, b, segment, scratch.runLengths.data(),
                                        scratch.runLengths.data() + width + 1);
}

}  // namespace

std::int32_t CountCommonChars(CodeArrays& scratch, std::int32_t Start1, std::int32_t End1, std::int32_t Start2,
                              std::int32_t End2) {
  const auto size1 = static_cast<std::int64_t>(scratch.CodesA.size());
  const auto size2 = static_cast<std::int64_t>(scratch.CodesB.size());
  if (End1 > size1 || End2 > size2) throw RuntimeError(error::kSubscriptOutOfRange);
  if (Start1 < 1 || Start2 < 1 || Start1 > End1 || Start2 > End2) return 0;
  const auto length1 = static_cast<std::size_t>(End1 - Start1) + 1;
  const auto length2 = static_cast<std::size_t>(End2 - Start2) + 1;
  if (length1 <= kBitParallelLimit && length2 <= kBitParallelLimit) {
    return CountCommonCharsShort(scratch.CodesA.data() + (Start1 - 1), length1, scratch.CodesB.data() + (Start2 - 1),
                                 length2);
  }

  std::int32_t count = 0;
  auto& pending = scratch.pending;
  pending.clear();
  pending.push_back({Start1, End1, Start2, End2});
  while (!pending.empty()) {
    const CodeArrays::Segment segment = pending.back();
    pending.pop_back();
    if (segment.start1 > segment.end1 || segment.start2 > segment.end2 || segment.start1 < 1 || segment.start2 < 1) {
      continue;
    }
    const BestRun best = LongestCommonRun(scratch, segment);
    if (best.length == 0) continue;
    count = CheckedSum(count, best.length);
    // Pushed left first so that the right-hand pieces are counted first.
    pending.push_back({segment.start1, best.pos1 - 1, segment.start2, best.pos2 - 1});
    pending.push_back({best.pos1 + best.length, segment.end1, best.pos2 + best.length, segment.end2});
  }
  return count;
}

namespace {

// Strings that the bit rows can count are coded on the stack; CodesA and
// CodesB are not needed for them.
double ShortRatio(std::u16string_view first, std::u16string_view second, bool ExactCase) noexcept {
  std::array<char16_t, kBitParallelLimit> upper1;
  std::array<char16_t, kBitParallelLimit> upper2;
  if (!ExactCase) {
    UpperCaseInto(first, upper1.data());
    UpperCaseInto(second, upper2.data());
    first = std::u16string_view(upper1.data(), first.size());
    second = std::u16string_view(upper2.data(), second.size());
  }
  if (first == second) return 1.0;
  if (first.empty() || second.empty()) return 0.0;
  const std::int32_t common = CountCommonCharsShort(first.data(), first.size(), second.data(), second.size());
  return RatioOfSum(common, static_cast<std::int32_t>(first.size() + second.size()));
}

}  // namespace

double SimilarityRatio(std::u16string_view first, std::u16string_view second, bool ExactCase, CodeArrays& scratch) {
  if (first.size() <= kBitParallelLimit && second.size() <= kBitParallelLimit) {
    return ShortRatio(first, second, ExactCase);
  }
  const bool same = ExactCase ? first == second : EqualIgnoringCase(first, second);
  if (same) return 1.0;
  const std::int32_t length1 = LengthOf(first);
  const std::int32_t length2 = LengthOf(second);
  if (length1 == 0 || length2 == 0) return 0.0;
  const std::int32_t lengthSum = CheckedSum(length1, length2);

  FillCodes(scratch.CodesA, first, ExactCase);
  FillCodes(scratch.CodesB, second, ExactCase);
  const std::int32_t common = CountCommonChars(scratch, 1, length1, 1, length2);
  scratch.CodesA.clear();
  scratch.CodesB.clear();
  return RatioOfSum(common, lengthSum);
}

double RatioOfCommon(std::int32_t common, std::int32_t length1, std::int32_t length2) noexcept {
  if (length1 == 0 || length2 == 0) return length1 == length2 ? 1.0 : 0.0;
  return RatioOfSum(std::min({common, length1, length2}), length1 + length2);
}

double SimilarityRatio(std::u16string_view first, std::u16string_view second, bool ExactCase) {
  CodeArrays scratch;
  return SimilarityRatio(first, second, ExactCase, scratch);
}

}  // namespace vantel::similarity
