// The match matrix of two ranges of at most 64 units, as one 64-bit row per
// unit of the first range: bit j of row i is set when a[i] equals b[j].
//
// A run of length k + 1 starts at (i, j) exactly when a run of length k
// starts there and a[i + k] equals b[j + k], so the rows of the runs of
// length k + 1 come from those of length k by one shift and one AND a row:
//   runs_{k+1}[i] = runs_k[i] & (match[i + k] >> k).
// The longest run is as long as the last k whose rows are not all zero, and
// it starts at the first such row, at that row's lowest set bit: exactly the
// run the exhaustive search keeps, the smallest position in the first range
// first, then the smallest in the second. One level costs (rows) x (run
// length) word operations instead of (rows) x (columns) x (run length)
// comparisons, and only the rows that still hold a run are visited.
//
// The pieces left and right of each run wait on a stack of fixed size: each
// run found adds at most one entry, and a range of 64 units holds at most 64
// runs. The right-hand piece is taken first, as in the general count.
//
// The match rows come from a table of 256 bit sets indexed by a unit's low
// byte: the positions of the second range's units are gathered there, and
// each unit of the first range looks its row up. When some unit lies beyond
// Latin-1, units that merely share a low byte are then taken out of the rows.

#include "BitParallelCount.h"

#include <algorithm>
#include <array>
#include <bit>

namespace vantel::similarity {
namespace {

void BuildMatchRows(const char16_t* a, std::size_t length1, const char16_t* b, std::size_t length2,
                    std::uint64_t* match) noexcept {
  // Only the entries of low bytes that occur are written, each zeroed first,
  // and only those are read.
  std::array<std::uint64_t, 256> byLowByte;
  for (std::size_t i = 0; i < length1; ++i) byLowByte[a[i] & 0xFFU] = 0;
  for (std::size_t j = 0; j < length2; ++j) byLowByte[b[j] & 0xFFU] = 0;
  unsigned units = 0;  // all the units ORed together
  for (std::size_t j = 0; j < length2; ++j) {
    byLowByte[b[j] & 0xFFU] |= std::uint64_t{1} << j;
    units |= b[j];
  }
  for (std::size_t i = 0; i < length1; ++i) {
    match[i] = byLowByte[a[i] & 0xFFU];
    units |= a[i];
  }
  if (units <= 0xFFU) return;
  // Units beyond Latin-1 may share a low byte without being equal.
  for (std::size_t i = 0; i < length1; ++i) {
    for (std::uint64_t bits = match[i]; bits != 0; bits &= bits - 1) {
      const auto j = static_cast<std::size_t>(std::countr_zero(bits));
      if (b[j] != a[i]) match[i] &= ~(std::uint64_t{1} << j);
    }
  }
}

// The bits 0 .. count - 1.
constexpr std::uint64_t LowBits(std::size_t count) noexcept {
  return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// Rows row1 .. end1 - 1 of the first range against columns col2 .. end2 - 1
// of the second.
struct Piece {
  std::uint8_t row1, end1, col2, end2;
};

struct Run {
  std::size_t length = 0;
  std::size_t pos1 = 0;
  std::size_t pos2 = 0;
};

Run LongestRun(const std::uint64_t* match, const Piece& piece) noexcept {
  const std::uint64_t columns = LowBits(piece.end2) & ~LowBits(piece.col2);
  std::array<std::uint64_t, kBitParallelLimit> bufferA;
  std::array<std::uint64_t, kBitParallelLimit> bufferB;
  std::uint64_t* runs = bufferA.data();
  std::uint64_t* longer = bufferB.data();

  // Runs of length 1; `first` and `last` bound the rows that hold one.
  std::uint64_t any = 0;
  for (std::size_t i = piece.row1; i < piece.end1; ++i) {
    runs[i] = match[i] & columns;
    any |= runs[i];
  }
  if (any == 0) return {};
  std::size_t first = piece.row1;
  std::size_t last = piece.end1 - 1U;
  while (runs[first] == 0) ++first;
  while (runs[last] == 0) --last;

  std::size_t length = 1;
  for (;;) {
    // A run of length + 1 starting at row i needs row i + length.
    const std::size_t end = std::min(last + 1, piece.end1 - length);
    any = 0;
    for (std::size_t i = first; i < end; ++i) {
      longer[i] = runs[i] & ((match[i + length] & columns) >> length);
      any |= longer[i];
    }
    if (any == 0) break;
    std::swap(runs, longer);
    last = end - 1;
    while (runs[first] == 0) ++first;
    while (runs[last] == 0) --last;
    ++length;
  }
  return {length, first, static_cast<std::size_t>(std::countr_zero(runs[first]))};
}

}  // namespace

std::int32_t CountCommonCharsShort(const char16_t* a, std::size_t length1, const char16_t* b,
                                   std::size_t length2) noexcept {
  std::array<std::uint64_t, kBitParallelLimit> match;
  BuildMatchRows(a, length1, b, length2, match.data());

  std::array<Piece, kBitParallelLimit + 1> pending;
  std::size_t depth = 0;
  pending[depth++] = {0, static_cast<std::uint8_t>(length1), 0, static_cast<std::uint8_t>(length2)};
  std::int32_t count = 0;
  while (depth > 0) {
    const Piece piece = pending[--depth];
    const Run run = LongestRun(match.data(), piece);
    if (run.length == 0) continue;
    count += static_cast<std::int32_t>(run.length);
    const auto after1 = static_cast<std::uint8_t>(run.pos1 + run.length);
    const auto after2 = static_cast<std::uint8_t>(run.pos2 + run.length);
    // Only pieces with units on both sides can hold a run. The left-hand
    // piece goes in first, so that the right-hand one is counted first.
    if (run.pos1 > piece.row1 && run.pos2 > piece.col2) {
      pending[depth++] = {piece.row1, static_cast<std::uint8_t>(run.pos1), piece.col2,
                          static_cast<std::uint8_t>(run.pos2)};
    }
    if (after1 < piece.end1 && after2 < piece.end2) pending[depth++] = {after1, piece.end1, after2, piece.end2};
  }
  return count;
}

}  // namespace vantel::similarity
