#include "matching/Layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/matching/Prepared.h"
#include "tests/matching/RandomNames.h"

namespace vantel::matching {
namespace {

struct Measures {
  bool spelling, sound;
};
constexpr Measures kMeasures[] = {{true, true}, {true, false}, {false, true}};

// Each candidate lies in one slot of the cell of its lengths, cells in order
// of their lengths and each in list order, and its counts in that slot's lane.
TEST(Layout, PlacesEveryCandidateOnceInTheCellOfItsLengths) {
  auto names = testing::MixedNames(31, 700);
  names.push_back(std::u16string(70, u'x'));
  const testing::Prepared prepared(names);
  for (const Measures measures : kMeasures) {
    SCOPED_TRACE(::testing::Message() << "spelling " << measures.spelling << " sound " << measures.sound);
    const Layout layout(prepared.profiles, prepared.profileOf, measures.spelling, measures.sound);
    EXPECT_EQ(layout.blockBytes(), (measures.spelling + measures.sound) * kMeasureBytes);
    std::vector<int> seen(names.size(), 0);
    std::pair<std::int32_t, std::int32_t> previous(-1, -1);
    std::size_t slots = 0;
    for (const Cell& cell : layout.cells()) {
      ASSERT_GT(cell.size, 0u);
      EXPECT_EQ(cell.firstSlot, slots);  // cells follow each other, each from a block's first lane
      EXPECT_EQ(cell.firstSlot % kLanes, 0u);
      slots += (cell.size + kLanes - 1) / kLanes * kLanes;
      EXPECT_LT(previous, std::pair(cell.textLength, cell.formLength));
      previous = {cell.textLength, cell.formLength};
      for (std::size_t slot = cell.firstSlot; slot < cell.endSlot(); ++slot) {
        const std::uint32_t position = layout.positionAt(slot);
        ASSERT_LT(position, names.size());
        if (slot > cell.firstSlot) {
          EXPECT_LT(layout.positionAt(slot - 1), position);
        }
        ++seen[position];
        const Profile& profile = prepared.profiles[prepared.profileOf[position]];
        EXPECT_EQ(cell.textLength, measures.spelling ? profile.textLength : 0);
        EXPECT_EQ(cell.formLength, measures.sound ? profile.formLength : 0);
        const CharCounts letters = profile.Letters();
        const CharCounts phonemes = profile.Phonemes();
        const std::uint8_t* lane = layout.block(slot / kLanes) + slot % kLanes;
        for (std::size_t bucket = 0; bucket < CharCounts::kBuckets; ++bucket) {
          if (measures.spelling) {
            ASSERT_EQ(lane[layout.spellingOffset() + bucket * kLanes], letters.counts()[bucket]);
          }
          if (measures.sound) {
            ASSERT_EQ(lane[layout.soundOffset() + bucket * kLanes], phonemes.counts()[bucket]);
          }
        }
      }
      for (std::size_t slot = cell.endSlot(); slot % kLanes != 0; ++slot) {
        EXPECT_EQ(layout.positionAt(slot), Layout::kEmpty);
        for (std::size_t bucket = 0; bucket < CharCounts::kBuckets; ++bucket) {
          ASSERT_EQ(layout.block(slot / kLanes)[slot % kLanes + bucket * kLanes], 0);
        }
      }
    }
    EXPECT_EQ(slots, layout.blockCount() * kLanes);
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int count) { return count == 1; }));
  }
}

// Forms too long for byte counts share one cell that the scan leaves alone.
TEST(Layout, SetsAsideFormsTooLongToCount) {
  std::deque<std::u16string> forms = {u"kat", std::u16string(254, u'k'), std::u16string(255, u'k'),
                                      std::u16string(400, u'k')};
  std::vector<Profile> profiles;
  for (const std::u16string& form : forms) profiles.push_back(ProfileOf(u"cat", form));
  const Layout layout(profiles, {0, 1, 2, 3}, true, true);
  ASSERT_EQ(layout.cells().size(), 3u);
  EXPECT_TRUE(layout.cells()[0].counted);
  EXPECT_TRUE(layout.cells()[1].counted);
  EXPECT_EQ(layout.cells()[1].formLength, kLongestCounted);
  EXPECT_FALSE(layout.cells()[2].counted);
  EXPECT_EQ(layout.cells()[2].size, 2u);
}

TEST(Layout, FindsTheCandidatesAfterAPosition) {
  const auto names = testing::RandomNames(32, 400);
  const testing::Prepared prepared(names);
  const Layout layout(prepared.profiles, prepared.profileOf, true, false);
  for (const Cell& cell : layout.cells()) {
    for (std::uint32_t position = 0; position <= names.size(); position += 7) {
      std::size_t expected = cell.firstSlot;
      while (expected < cell.endSlot() && layout.positionAt(expected) <= position) ++expected;
      ASSERT_EQ(layout.FirstSlotAfter(cell, position), expected);
    }
  }
}

// Tiles cut the blocks in order, and every slot of every cell lies in one
// tile that lists the cell.
TEST(Layout, CutsTheBlocksIntoTilesThatCoverEveryCellOnce) {
  const auto names = testing::RandomNames(33, 2500);
  const testing::Prepared prepared(names);
  const Layout layout(prepared.profiles, prepared.profileOf, true, true);
  ASSERT_GT(layout.blockCount(), 8u);
  for (const std::size_t blocksPerTile :
       {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, layout.blockCount(), std::size_t{100000}}) {
    SCOPED_TRACE(::testing::Message() << blocksPerTile << " blocks a tile");
    const std::vector<Tile> tiles = layout.Tiles(blocksPerTile);
    std::vector<int> covered(layout.blockCount() * kLanes, 0);
    std::size_t nextBlock = 0;
    for (const Tile& tile : tiles) {
      EXPECT_EQ(tile.firstBlock, nextBlock);
      EXPECT_LE(tile.endBlock - tile.firstBlock, blocksPerTile);
      nextBlock = tile.endBlock;
      for (std::size_t cell = tile.firstCell; cell < tile.endCell; ++cell) {
        const Cell& piece = layout.cells()[cell];
        const std::size_t begin = std::max(piece.firstSlot, tile.firstBlock * kLanes);
        const std::size_t end = std::min(piece.endSlot(), tile.endBlock * kLanes);
        for (std::size_t slot = begin; slot < end; ++slot) ++covered[slot];
      }
    }
    EXPECT_EQ(nextBlock, layout.blockCount());
    for (std::size_t slot = 0; slot < covered.size(); ++slot) {
      ASSERT_EQ(covered[slot], layout.positionAt(slot) == Layout::kEmpty ? 0 : 1) << "slot " << slot;
    }
  }
}

}  // namespace
}  // namespace vantel::matching
