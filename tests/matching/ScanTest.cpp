#include "matching/Scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/matching/InstructionSetNames.h"
#include "tests/matching/Prepared.h"
#include "tests/matching/RandomNames.h"

namespace vantel::matching {
namespace {

constexpr ScanMode kModes[] = {ScanMode::Spelling, ScanMode::Sound, ScanMode::Either, ScanMode::Both};

// What a lane must give, from the counts themselves: the bound of each
// measure against its need, combined as the mode says, and with a joint
// table the sound bound against the table's entry for the spelling bound
// (the last entry past its end). A slot past the end of its cell counts as
// a string with no characters.
std::uint64_t ExpectedMask(const Layout& layout, const testing::Prepared& prepared, std::size_t block,
                           const Profile& query, ScanMode mode, std::uint8_t spellingNeed, std::uint8_t soundNeed,
                           const std::vector<std::uint8_t>& soundNeedBySpelling = {}) {
  std::uint64_t mask = 0;
  const CharCounts none;
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    const std::uint32_t position = layout.positionAt(block * kLanes + lane);
    const Profile* candidate = position == Layout::kEmpty ? nullptr : &prepared.profiles[prepared.profileOf[position]];
    const std::int32_t spellingBound = CommonBound(query.Letters(), candidate ? candidate->Letters() : none);
    const std::int32_t soundBound = CommonBound(query.Phonemes(), candidate ? candidate->Phonemes() : none);
    const bool spelling = spellingBound >= spellingNeed;
    const bool sound = soundBound >= soundNeed;
    bool passes = false;
    switch (mode) {
      case ScanMode::Spelling: passes = spelling; break;
      case ScanMode::Sound: passes = sound; break;
      case ScanMode::Either: passes = spelling || sound; break;
      case ScanMode::Both: passes = spelling && sound; break;
    }
    if (!soundNeedBySpelling.empty()) {
      const std::size_t index = std::min(static_cast<std::size_t>(spellingBound), soundNeedBySpelling.size() - 1);
      passes = passes && soundBound >= soundNeedBySpelling[index];
    }
    mask |= std::uint64_t{passes} << lane;
  }
  return mask;
}

// A request over `count` blocks of `layout` from `first`, for a query of these buckets.
ScanRequest RequestOver(const Layout& layout, std::size_t first, std::size_t count, ScanMode mode,
                        const QueryBuckets& letters, std::uint8_t spellingNeed, const QueryBuckets& phonemes,
                        std::uint8_t soundNeed) {
  ScanRequest request;
  request.firstBlock = layout.block(first);
  request.blockCount = count;
  request.blockBytes = layout.blockBytes();
  request.mode = mode;
  request.spellingOffset = layout.spellingOffset();
  request.letters = &letters;
  request.spellingNeed = spellingNeed;
  request.soundOffset = layout.soundOffset();
  request.phonemes = &phonemes;
  request.soundNeed = soundNeed;
  return request;
}

class ScanInstructionSets : public ::testing::TestWithParam<InstructionSet> {};

// Every mode, needs from nothing to never, ranges of any length from any
// block (the vector scans take blocks in groups and then one at a time).
TEST_P(ScanInstructionSets, PassesExactlyTheLanesWhoseBoundsReachTheNeeds) {
  const ScanFunction scan = ScanFunctionFor(GetParam());
  const testing::Prepared prepared(testing::MixedNames(41, 900));
  const Layout layout(prepared.profiles, prepared.profileOf, true, true);
  ASSERT_GT(layout.blockCount(), 20u);
  std::mt19937 random(42);
  std::vector<std::uint64_t> passed(layout.blockCount());
  for (std::size_t round = 0; round < 300; ++round) {
    const Profile& query = prepared.profiles[random() % prepared.profiles.size()];
    const QueryBuckets letters(query.Letters());
    const QueryBuckets phonemes(query.Phonemes());
    const std::uint8_t needs[] = {0, 1, 3, 6, 9, 14, 20, kNever};
    const std::size_t first = random() % layout.blockCount();
    const std::size_t count = 1 + random() % std::min<std::size_t>(layout.blockCount() - first, 11);
    const std::uint8_t spellingNeed = needs[random() % std::size(needs)];
    const std::uint8_t soundNeed = needs[random() % std::size(needs)];
    const ScanRequest request = RequestOver(layout, first, count, kModes[round % std::size(kModes)], letters,
                                            spellingNeed, phonemes, soundNeed);
    scan(request, passed.data());
    for (std::size_t block = 0; block < request.blockCount; ++block) {
      ASSERT_EQ(passed[block], ExpectedMask(layout, prepared, first + block, query, request.mode, request.spellingNeed,
                                            request.soundNeed))
          << "round " << round << " block " << first + block;
    }
  }
}

// One measure laid out alone: the scan reads nothing of the other.
TEST_P(ScanInstructionSets, ScansALayoutOfOneMeasure) {
  const ScanFunction scan = ScanFunctionFor(GetParam());
  const testing::Prepared prepared(testing::RandomNames(43, 300));
  for (const ScanMode mode : {ScanMode::Spelling, ScanMode::Sound}) {
    const Layout layout(prepared.profiles, prepared.profileOf, mode == ScanMode::Spelling, mode == ScanMode::Sound);
    std::vector<std::uint64_t> passed(layout.blockCount());
    const Profile& query = prepared.profiles[5];
    const QueryBuckets letters(query.Letters());
    const QueryBuckets phonemes(query.Phonemes());
    const ScanRequest request = RequestOver(layout, 0, layout.blockCount(), mode, letters, 5, phonemes, 4);
    scan(request, passed.data());
    std::size_t passing = 0;
    for (std::size_t block = 0; block < layout.blockCount(); ++block) {
      ASSERT_EQ(passed[block], ExpectedMask(layout, prepared, block, query, mode, 5, 4));
      passing += static_cast<std::size_t>(__builtin_popcountll(passed[block]));
    }
    EXPECT_GT(passing, 0u);
    EXPECT_LT(passing, prepared.profiles.size());
  }
}

// A random joint table of `entries` entries as LowestSoundOverlaps gives
// them: never increasing, kNever for the lowest spelling sums, and often
// flat; sometimes low enough that the plain needs decide alone.
std::vector<std::uint8_t> RandomJointTable(std::mt19937& random, std::size_t entries) {
  std::vector<std::uint8_t> table(entries);
  const std::size_t never = random() % 3 == 0 ? 0 : random() % (entries + 1);
  auto need = static_cast<std::uint32_t>(random() % 60);
  for (std::size_t s = entries; s-- > never;) {
    table[s] = static_cast<std::uint8_t>(std::min<std::uint32_t>(need, 254));
    if (random() % 3 == 0) need += static_cast<std::uint32_t>(random() % 5);
  }
  for (std::size_t s = 0; s < never; ++s) table[s] = kNever;
  return table;
}

// Mode Both with a joint table: tables short (the sums pass their end) and
// long (more than 64 entries, beyond one vector's worth of chunks), against
// strings short and up to the longest counted, so that the sums reach every
// chunk of the table.
TEST_P(ScanInstructionSets, PassesTheLanesWhoseSumsReachTheJointTable) {
  const ScanFunction scan = ScanFunctionFor(GetParam());
  std::vector<std::u16string> names = testing::MixedNames(44, 500);
  std::mt19937 random(45);
  const std::u16string kFew = u"abcde";
  for (std::size_t i = 0; i < 300; ++i) {
    // Forms run a little longer than their texts; all stay within kLongestCounted.
    std::u16string name(20 + random() % 201, u'a');
    for (char16_t& letter : name) letter = kFew[random() % kFew.size()];
    names.push_back(name);
  }
  const testing::Prepared prepared(names);
  for (const Profile& profile : prepared.profiles) {
    ASSERT_LE(std::max(profile.textLength, profile.formLength), kLongestCounted);
  }
  const Layout layout(prepared.profiles, prepared.profileOf, true, true);
  std::vector<std::uint64_t> passed(layout.blockCount());
  const std::uint8_t needs[] = {0, 1, 3, 6, 9, 14, 20, 40, 90, kNever};
  const std::size_t sizes[] = {1, 2, 9, 16, 17, 33, 64, 65, 80, 128, 200, 255, 256};
  std::size_t passing = 0;
  std::size_t ruledOut = 0;  // lanes that pass both needs but not the table
  std::size_t high = 0;      // lanes that pass both needs with a spelling sum past 64 entries of the table
  for (std::size_t round = 0; round < 600; ++round) {
    // Half the queries long, to reach the high chunks.
    const std::size_t which =
        round % 2 == 0 ? random() % prepared.profiles.size() : prepared.profiles.size() - 1 - random() % 300;
    const Profile& query = prepared.profiles[which];
    const QueryBuckets letters(query.Letters());
    const QueryBuckets phonemes(query.Phonemes());
    const std::vector<std::uint8_t> table = RandomJointTable(random, sizes[random() % std::size(sizes)]);
    const std::size_t first = random() % layout.blockCount();
    const std::size_t count = 1 + random() % std::min<std::size_t>(layout.blockCount() - first, 11);
    const std::uint8_t spellingNeed = needs[random() % std::size(needs)];
    const std::uint8_t soundNeed = needs[random() % std::size(needs)];
    ScanRequest request = RequestOver(layout, first, count, ScanMode::Both, letters, spellingNeed, phonemes, soundNeed);
    request.soundNeedBySpelling = table.data();
    request.jointEntries = table.size();
    const std::uint64_t any = scan(request, passed.data());
    std::uint64_t expectedAny = 0;
    for (std::size_t block = 0; block < request.blockCount; ++block) {
      const std::uint64_t expected = ExpectedMask(layout, prepared, first + block, query, request.mode,
                                                  request.spellingNeed, request.soundNeed, table);
      ASSERT_EQ(passed[block], expected) << "round " << round << " block " << first + block;
      expectedAny |= expected;
      passing += static_cast<std::size_t>(__builtin_popcountll(expected));
      const std::uint64_t plain =
          ExpectedMask(layout, prepared, first + block, query, request.mode, request.spellingNeed, request.soundNeed);
      ruledOut += static_cast<std::size_t>(__builtin_popcountll(plain & ~expected));
      for (std::size_t lane = 0; lane < kLanes; ++lane) {
        const std::uint8_t* counts = layout.block(first + block) + layout.spellingOffset();
        high += (plain >> lane & 1) != 0 && table.size() > 64 && BoundAt(counts, lane, letters) >= 64;
      }
    }
    ASSERT_EQ(any, expectedAny) << "round " << round;
  }
  // The test passes some lanes, rules some out only by the table, and
  // looks up past the first 64 entries.
  EXPECT_GT(passing, 0u);
  EXPECT_GT(ruledOut, 0u);
  EXPECT_GT(high, 0u);
}

// The joint table left out, or set for a mode other than Both: the plain needs decide.
TEST_P(ScanInstructionSets, ReadsTheJointTableOnlyForBoth) {
  const ScanFunction scan = ScanFunctionFor(GetParam());
  const testing::Prepared prepared(testing::RandomNames(46, 300));
  const Layout layout(prepared.profiles, prepared.profileOf, true, true);
  std::vector<std::uint64_t> passed(layout.blockCount());
  const Profile& query = prepared.profiles[7];
  const QueryBuckets letters(query.Letters());
  const QueryBuckets phonemes(query.Phonemes());
  const std::uint8_t never[] = {kNever};
  for (const ScanMode mode : kModes) {
    ScanRequest request = RequestOver(layout, 0, layout.blockCount(), mode, letters, 2, phonemes, 2);
    request.soundNeedBySpelling = never;
    request.jointEntries = mode == ScanMode::Both ? 0 : 1;
    scan(request, passed.data());
    for (std::size_t block = 0; block < layout.blockCount(); ++block) {
      ASSERT_EQ(passed[block], ExpectedMask(layout, prepared, block, query, mode, 2, 2)) << NameOf(GetParam());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Supported, ScanInstructionSets, ::testing::ValuesIn(SupportedInstructionSets()),
                         [](const ::testing::TestParamInfo<InstructionSet>& param) { return NameOf(param.param); });

TEST(QueryBuckets, ListsTheBucketsAStringUses) {
  const CharCounts counts(u"Anna", /*upperCase=*/true);  // A twice, N twice
  const QueryBuckets buckets(counts);
  ASSERT_EQ(buckets.size, 2u);
  EXPECT_EQ(buckets.rowOffset[0], CharCounts::BucketOf(u'A') * kLanes);
  EXPECT_EQ(buckets.count[0], 2);
  EXPECT_EQ(buckets.rowOffset[1], CharCounts::BucketOf(u'N') * kLanes);
  EXPECT_EQ(buckets.count[1], 2);
  EXPECT_EQ(QueryBuckets(CharCounts(u"", false)).size, 0u);

  // The largest counts first (ties in bucket order), and what the second half can add.
  const QueryBuckets mississippi(CharCounts(u"Mississippi", /*upperCase=*/true));
  ASSERT_EQ(mississippi.size, 4u);
  const char16_t letters[] = {u'I', u'S', u'P', u'M'};
  const std::uint8_t expected[] = {4, 4, 2, 1};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(mississippi.rowOffset[i], CharCounts::BucketOf(letters[i]) * kLanes);
    EXPECT_EQ(mississippi.count[i], expected[i]);
  }
  EXPECT_EQ(mississippi.half, 2u);
  EXPECT_EQ(mississippi.rest, 3);
}

TEST(InstructionSets, ResolveBestToTheWidestSupported) {
  EXPECT_EQ(Resolve(InstructionSet::Best), SupportedInstructionSets().back());
  EXPECT_EQ(Resolve(InstructionSet::Portable), InstructionSet::Portable);
  EXPECT_TRUE(IsSupported(InstructionSet::Best));
  EXPECT_FALSE(IsSupported(static_cast<InstructionSet>(42)));
}

}  // namespace
}  // namespace vantel::matching
