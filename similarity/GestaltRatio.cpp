// The common-character count looks for the longest common run of two ranges,
// then counts the pieces to its right and to its left in the same way.
//
// The longest run is found with a run-length table instead of extending a run
// from every pair of start positions: walking the first range backwards, the
// run that starts at (i, j) is one longer than the run at (i + 1, j + 1) when
// the characters at (i, j) are equal. This finds the same run at the same
// positions in O(n * m) per level instead of O(n * m * run length).
//
// The pieces are kept on an explicit stack rather than in native recursion, so
// that no input, however long, can exhaust the call stack; the right-hand
// pieces are still examined before the left-hand ones.

#include "similarity/GestaltRatio.h"

#include <limits>

#include "similarity/UpperCase.h"
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
  codes.assign(text.begin(), text.end());
  if (!ExactCase) {
    for (char16_t& unit : codes) unit = UpperCase(unit);
  }
}

struct BestRun {
  std::int32_t length = 0;
  std::int32_t pos1 = 0;
  std::int32_t pos2 = 0;
};

BestRun LongestCommonRun(CodeArrays& scratch, const CodeArrays::Segment& segment) {
  const char16_t* a = scratch.CodesA.data() - 1;  // 1-based views
  const char16_t* b = scratch.CodesB.data() - 1;
  // runLengths[j - start2] holds the run starting at (i + 1, j) before row i
  // overwrites it; the extra last slot stands for the position past End2.
  const auto width = static_cast<std::size_t>(segment.end2 - segment.start2) + 2;
  scratch.runLengths.assign(width, 0);
  std::int32_t* below = scratch.runLengths.data() - segment.start2;

  BestRun best;
  for (std::int32_t i = segment.end1; i >= segment.start1; --i) {
    const char16_t code = a[i];
    for (std::int32_t j = segment.start2; j <= segment.end2; ++j) {
      const std::int32_t run = (code == b[j]) ? below[j + 1] + 1 : 0;
      below[j] = run;
      // Rows are visited from the last to the first, so a run as long as the
      // best one replaces it only when it lies in an earlier row; within a
      // row the first (smallest j) is kept.
      if (run > best.length || (run == best.length && run > 0 && i < best.pos1)) {
        best = {run, i, j};
      }
    }
  }
  return best;
}

}  // namespace

std::int32_t CountCommonChars(CodeArrays& scratch, std::int32_t Start1, std::int32_t End1, std::int32_t Start2,
                              std::int32_t End2) {
  const auto size1 = static_cast<std::int64_t>(scratch.CodesA.size());
  const auto size2 = static_cast<std::int64_t>(scratch.CodesB.size());
  if (End1 > size1 || End2 > size2) throw RuntimeError(error::kSubscriptOutOfRange);

  std::int32_t count = 0;
  auto& pending = scratch.pending;
  pending.clear();
  pending.push_back({Start1, End1, Start2, End2});
  while (!pending.empty()) {
    const CodeArrays::Segment segment = pending.back();
    pending.pop_back();
    if (segment.start1 > segment.end1 || segment.start2 > segment.end2 || segment.start1 < 1 ||
        segment.start2 < 1) {
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

double SimilarityRatio(std::u16string_view first, std::u16string_view second, bool ExactCase, CodeArrays& scratch) {
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
  // Divided first and doubled after: doubling is exact, so this is 2M / (L1 + L2)
  // rounded once.
  return static_cast<double>(common) / static_cast<double>(lengthSum) * 2.0;
}

double SimilarityRatio(std::u16string_view first, std::u16string_view second, bool ExactCase) {
  CodeArrays scratch;
  return SimilarityRatio(first, second, ExactCase, scratch);
}

}  // namespace vantel::similarity
