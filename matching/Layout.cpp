#include "Layout.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vantel::matching {
namespace {

constexpr std::align_val_t kAlignment{kLanes};

// The length a cell is keyed by: a length beyond the byte counts stands for all of them.
std::int32_t KeyLength(std::int32_t length) noexcept { return std::min(length, kLongestCounted + 1); }

}  // namespace

void Layout::FreeAligned::operator()(std::uint8_t* counts) const noexcept { ::operator delete[](counts, kAlignment); }

Layout::Layout(const std::vector<Profile>& profiles, const std::vector<std::uint32_t>& profileOf, bool spelling,
               bool sound)
    : spelling_(spelling) {
  const auto textKey = [&](const Profile& profile) { return spelling ? KeyLength(profile.textLength) : 0; };
  const auto formKey = [&](const Profile& profile) { return sound ? KeyLength(profile.formLength) : 0; };

  // Sorted by cell, then by list position: the key above the position.
  std::vector<std::uint64_t> order(profileOf.size());
  for (std::size_t position = 0; position < profileOf.size(); ++position) {
    const Profile& profile = profiles[profileOf[position]];
    const auto key = static_cast<std::uint64_t>(textKey(profile)) << 9 | static_cast<std::uint64_t>(formKey(profile));
    order[position] = key << 32 | position;
  }
  std::sort(order.begin(), order.end());

  for (std::size_t next = 0; next < order.size();) {
    const Profile& profile = profiles[profileOf[order[next] & 0xFFFFFFFF]];
    Cell cell;
    cell.textLength = textKey(profile);
    cell.formLength = formKey(profile);
    cell.counted = cell.textLength <= kLongestCounted && cell.formLength <= kLongestCounted;
    cell.firstSlot = blockCount_ * kLanes;
    const std::uint64_t key = order[next] >> 32;
    while (next + cell.size < order.size() && order[next + cell.size] >> 32 == key) ++cell.size;
    next += cell.size;
    blockCount_ += (cell.size + kLanes - 1) / kLanes;
    cells_.push_back(cell);
  }

  const std::size_t measures = std::size_t{spelling} + std::size_t{sound};
  blockBytes_ = measures * kMeasureBytes;
  const std::size_t bytes = std::max<std::size_t>(blockCount_ * blockBytes_, kLanes);
  counts_.reset(static_cast<std::uint8_t*>(::operator new[](bytes, kAlignment)));
  std::memset(counts_.get(), 0, bytes);
  positions_.assign(blockCount_ * kLanes, kEmpty);

  std::size_t sorted = 0;
  for (const Cell& cell : cells_) {
    for (std::size_t slot = cell.firstSlot; slot < cell.endSlot(); ++slot) {
      const auto position = static_cast<std::uint32_t>(order[sorted++] & 0xFFFFFFFF);
      positions_[slot] = position;
      if (!cell.counted) continue;
      const Profile& profile = profiles[profileOf[position]];
      std::uint8_t* lane = counts_.get() + slot / kLanes * blockBytes_ + slot % kLanes;
      const auto fill = [&](const CharCounts& counts, std::size_t offset) {
        for (std::size_t bucket = 0; bucket < CharCounts::kBuckets; ++bucket) {
          lane[offset + bucket * kLanes] = counts.counts()[bucket];
        }
      };
      if (spelling) fill(profile.Letters(), spellingOffset());
      if (sound) fill(profile.Phonemes(), soundOffset());
    }
  }
}

std::size_t Layout::FirstSlotAfter(const Cell& cell, std::uint32_t position) const noexcept {
  const auto first = positions_.begin() + static_cast<std::ptrdiff_t>(cell.firstSlot);
  const auto end = positions_.begin() + static_cast<std::ptrdiff_t>(cell.endSlot());
  return cell.firstSlot + static_cast<std::size_t>(std::upper_bound(first, end, position) - first);
}

std::vector<Tile> Layout::Tiles(std::size_t blocksPerTile) const {
  std::vector<Tile> tiles;
  blocksPerTile = std::max<std::size_t>(blocksPerTile, 1);
  std::size_t firstCell = 0;
  for (std::size_t firstBlock = 0; firstBlock < blockCount_; firstBlock += blocksPerTile) {
    const std::size_t endBlock = std::min(firstBlock + blocksPerTile, blockCount_);
    while (firstCell < cells_.size() && cells_[firstCell].endSlot() <= firstBlock * kLanes) ++firstCell;
    std::size_t endCell = firstCell;
    while (endCell < cells_.size() && cells_[endCell].firstSlot < endBlock * kLanes) ++endCell;
    tiles.push_back({firstBlock, endBlock, firstCell, endCell});
  }
  return tiles;
}

}  // namespace vantel::matching
