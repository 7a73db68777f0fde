// The vector scan: one query's bucketed character counts against many
// blocks of candidates (Layout.h), giving for each block the lanes whose
// bound reaches the least overlap that the floor admits (Overlaps.h).
//
// For each measure, the sum over buckets of the smaller of the query's and
// the candidate's count bounds the characters the two strings can match
// (CharCounts.h). Buckets the query does not use contribute nothing, so only
// the query's own buckets are read. Every sum is at most the shorter length,
// and the matcher scans only strings of at most kLongestCounted units, so a
// byte holds it, below kNever (the vector scans saturate all the same).
//
// A lane passes a measure when its sum reaches the measure's least overlap;
// lanes combine as the ScanMode says. A lane that fails cannot reach the
// floor; one that passes goes on to the exact bound and the scorer, so the
// scan decides only how much work is done, never an answer. Every
// instruction set computes the same sums and so the same lanes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "CharCounts.h"
#include "Layout.h"
#include "Overlaps.h"
#include "vantel/Match.h"

namespace vantel::matching {

// The buckets that one string uses, and its count in each, the largest
// counts first. After the first `half` of them a scan can tell the lanes that
// no longer can reach a need: those whose sum so far plus `rest` (the counts
// of the others, as much as they can add) falls short of it.
struct QueryBuckets {
  std::uint32_t size = 0;
  std::array<std::uint16_t, CharCounts::kBuckets> rowOffset{};  // bucket * kLanes
  std::array<std::uint8_t, CharCounts::kBuckets> count{};
  std::uint32_t half = 0;
  std::uint8_t rest = 0;  // the sum of count[half .. size)

  QueryBuckets() = default;
  explicit QueryBuckets(const CharCounts& counts) noexcept;
};

struct ScanRequest {
  const std::uint8_t* firstBlock = nullptr;
  std::size_t blockCount = 0;
  std::size_t blockBytes = 0;  // from one block to the next
  ScanMode mode = ScanMode::Spelling;
  // Each measure's part of a block, the query's buckets, and the least
  // overlap it must reach; a measure the mode does not test is not read.
  std::size_t spellingOffset = 0;
  const QueryBuckets* letters = nullptr;
  std::uint8_t spellingNeed = 0;
  std::size_t soundOffset = 0;
  const QueryBuckets* phonemes = nullptr;
  std::uint8_t soundNeed = 0;
  // With ScanMode::Both, and only then, the two sums may also be tested
  // together: a lane passes only when its sound sum reaches
  // soundNeedBySpelling[its spelling sum] as well (LowestSoundOverlaps,
  // which never increases and holds kNever where no sound sum will do).
  // Entries 0 .. jointEntries - 1 are read (at most 256; none, and the
  // needs alone decide, when 0). A spelling sum past the last entry takes
  // the last one, so that every scan gives the same lanes whatever the
  // table's length; the matcher passes an entry for every sum up to the
  // shorter text length, which no spelling sum exceeds.
  const std::uint8_t* soundNeedBySpelling = nullptr;
  std::size_t jointEntries = 0;
};

// Writes one mask per block to passed[0 .. blockCount): bit l set when lane
// l passes; returns the masks or'ed together.
using ScanFunction = std::uint64_t (*)(const ScanRequest& request, std::uint64_t* passed);

// The bucketed bound of one lane, as the scans sum it: for the candidate in
// `lane` of the block whose measure starts at `measure`.
inline std::int32_t BoundAt(const std::uint8_t* measure, std::size_t lane, const QueryBuckets& query) noexcept {
  std::int32_t common = 0;
  for (std::uint32_t i = 0; i < query.size; ++i) {
    const std::uint8_t count = measure[query.rowOffset[i] + lane];
    common += count < query.count[i] ? count : query.count[i];
  }
  return common;
}

bool IsSupported(InstructionSet set) noexcept;
// The scan of a supported set; Best stands for the widest one.
ScanFunction ScanFunctionFor(InstructionSet set) noexcept;
InstructionSet Resolve(InstructionSet set) noexcept;  // Best as the set it stands for

}  // namespace vantel::matching
