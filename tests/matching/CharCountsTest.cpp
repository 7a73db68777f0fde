#include "matching/CharCounts.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "similarity/GestaltRatio.h"
#include "similarity/UpperCase.h"
#include "tests/matching/RandomNames.h"

namespace vantel::matching {
namespace {

TEST(CharCounts, BoundsTheCharactersTwoStringsShare) {
  struct Case {
    std::u16string first, second;
    bool upperCase;
    std::int32_t expected;
  } const cases[] = {
      {u"Smith", u"smyth", true, 4},   // S M T H; i and y differ
      {u"Smith", u"smyth", false, 3},  // m t h; S and s differ
      {u"abab", u"baab", false, 4},    // the multisets are equal, whatever the order
      {u"aaaa", u"aa", false, 2},
      {u"abc", u"xyz", false, 0},
      {u"", u"abc", true, 0},
      {u"\u0142", u"\u0141", true, 1},  // l-stroke upper-cases to L-stroke
      // 'A' (0x41) and U+0101 fall in one bucket: sharing a bucket only ever
      // raises the bound.
      {u"A", u"\u0101", false, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommonBound(CharCounts(c.first, c.upperCase), CharCounts(c.second, c.upperCase)), c.expected)
        << std::string(c.first.begin(), c.first.end());
  }
}

TEST(CharCounts, BoundsNothingForStringsTooLongToCountInBytes) {
  const CharCounts longest(std::u16string(255, u'a'), false);
  const CharCounts tooLong(std::u16string(256, u'a'), false);
  EXPECT_EQ(CommonBound(longest, longest), 255);
  EXPECT_EQ(CommonBound(tooLong, CharCounts(u"a", false)), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(CommonBound(CharCounts(u"a", false), tooLong), std::numeric_limits<std::int32_t>::max());
}

// The bound must hold for every pair, not only for typical ones: checked
// against the common-character count itself.
TEST(CharCounts, NeverBoundsBelowTheCommonCharacterCount) {
  const auto names = testing::RandomNames(7, 120);
  similarity::CodeArrays scratch;
  for (const bool upperCase : {false, true}) {
    for (const std::u16string& first : names) {
      const CharCounts firstCounts(first, upperCase);
      for (const std::u16string& second : names) {
        scratch.CodesA.assign(first.begin(), first.end());
        scratch.CodesB.assign(second.begin(), second.end());
        if (upperCase) {
          for (char16_t& unit : scratch.CodesA) unit = similarity::UpperCase(unit);
          for (char16_t& unit : scratch.CodesB) unit = similarity::UpperCase(unit);
        }
        const std::int32_t common = similarity::CountCommonChars(scratch, 1, static_cast<std::int32_t>(first.size()), 1,
                                                                 static_cast<std::int32_t>(second.size()));
        ASSERT_GE(CommonBound(firstCounts, CharCounts(second, upperCase)), common);
      }
    }
  }
}

}  // namespace
}  // namespace vantel::matching
