// The candidates as the bound scan reads them: grouped into cells of equal
// lengths, and within a cell in list order, each cell in whole blocks of
// kLanes candidates. A block holds, for each measure the method needs, the
// candidates' bucketed character counts bucket by bucket: the count of
// bucket b for lane l at byte b * kLanes + l. One vector load then gives one
// bucket of kLanes candidates, and a query reads only the rows of the
// buckets its own string uses.
//
// Cells are sorted by their lengths, so the length bound of a query rules
// out whole cells, and in a cell the candidates after a given list position
// (those a string of one list is paired with) are a contiguous run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "CharCounts.h"
#include "Overlaps.h"
#include "Profile.h"

namespace vantel::matching {

inline constexpr std::size_t kLanes = 64;                                    // candidates in a block
inline constexpr std::size_t kMeasureBytes = CharCounts::kBuckets * kLanes;  // one measure of a block

struct Cell {
  // The lengths of every string in the cell; 0 for a measure the method
  // does not use. A form longer than kLongestCounted is given as one more.
  std::int32_t textLength = 0;
  std::int32_t formLength = 0;
  std::size_t firstSlot = 0;  // the slot (block * kLanes + lane) of its first candidate
  std::size_t size = 0;       // how many candidates it holds
  bool counted = true;        // its counts fit bytes: the vector scan applies

  std::size_t endSlot() const noexcept { return firstSlot + size; }
};

// A run of blocks read while it stays in the cache, and the cells that lie
// in it, in part or whole.
struct Tile {
  std::size_t firstBlock = 0, endBlock = 0;
  std::size_t firstCell = 0, endCell = 0;
};

class Layout {
 public:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;  // a slot past the end of its cell

  Layout() = default;
  // `profileOf[position]` is the profile of the candidate at that position
  // of its list. Only the measures asked for are laid out.
  Layout(const std::vector<Profile>& profiles, const std::vector<std::uint32_t>& profileOf, bool spelling, bool sound);

  const std::vector<Cell>& cells() const noexcept { return cells_; }
  std::size_t blockCount() const noexcept { return blockCount_; }
  std::size_t blockBytes() const noexcept { return blockBytes_; }
  // Where each measure lies within a block.
  std::size_t spellingOffset() const noexcept { return 0; }
  std::size_t soundOffset() const noexcept { return spelling_ ? kMeasureBytes : 0; }

  const std::uint8_t* block(std::size_t index) const noexcept { return counts_.get() + index * blockBytes_; }
  // The list position of the candidate in a slot, or kEmpty.
  std::uint32_t positionAt(std::size_t slot) const noexcept { return positions_[slot]; }
  // The first slot of `cell` whose candidate comes after list position `position`.
  std::size_t FirstSlotAfter(const Cell& cell, std::uint32_t position) const noexcept;

  // The blocks cut into tiles of `blocksPerTile` (the last may be shorter).
  std::vector<Tile> Tiles(std::size_t blocksPerTile) const;

 private:
  struct FreeAligned {
    void operator()(std::uint8_t* counts) const noexcept;
  };

  bool spelling_ = false;
  std::vector<Cell> cells_;
  std::size_t blockCount_ = 0;
  std::size_t blockBytes_ = 0;
  std::unique_ptr<std::uint8_t[], FreeAligned> counts_;  // blockCount_ * blockBytes_, aligned to a block row
  std::vector<std::uint32_t> positions_;                 // [slot]
};

}  // namespace vantel::matching
