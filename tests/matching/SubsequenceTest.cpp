#include "matching/Subsequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "similarity/GestaltRatio.h"
#include "similarity/UpperCase.h"
#include "tests/matching/RandomNames.h"

namespace vantel::matching {
namespace {

// The textbook dynamic programme.
std::int32_t SlowLength(std::u16string a, std::u16string b, bool upperCase) {
  if (upperCase) {
    for (char16_t& unit : a) unit = similarity::UpperCase(unit);
    for (char16_t& unit : b) unit = similarity::UpperCase(unit);
  }
  std::vector<std::vector<std::int32_t>> table(a.size() + 1, std::vector<std::int32_t>(b.size() + 1, 0));
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      table[i][j] = a[i - 1] == b[j - 1] ? table[i - 1][j - 1] + 1 : std::max(table[i - 1][j], table[i][j - 1]);
    }
  }
  return table[a.size()][b.size()];
}

TEST(CommonSubsequence, MeasuresTheLongestCommonSubsequence) {
  struct Case {
    std::u16string first, second;
    bool upperCase;
    std::int32_t expected;
  } const cases[] = {
      {u"Smith", u"Smyth", false, 4},
      {u"John Smith", u"Smith John", false, 5},  // the same letters, another order
      {u"smith", u"SMITH", true, 5},
      {u"smith", u"SMITH", false, 0},
      {u"", u"abc", false, 0},
      {u"abc", u"", false, 0},
      {u"\u0142ukasz", u"\u0141UKASZ", true, 6},   // l-stroke upper-cases to L-stroke
      {u"\U0001F600x", u"x\U0001F600", false, 2},  // a surrogate pair is two units
      {std::u16string(64, u'a'), std::u16string(70, u'a'), false, 64},
  };
  CommonSubsequence subsequence;
  for (const Case& c : cases) {
    ASSERT_TRUE(subsequence.Set(c.first, c.upperCase));
    EXPECT_EQ(subsequence.Length(c.second, c.upperCase), c.expected) << std::string(c.first.begin(), c.first.end());
  }
  EXPECT_FALSE(subsequence.Set(std::u16string(65, u'a'), false));
}

TEST(CommonSubsequence, AgreesWithTheDynamicProgrammeOnRandomStrings) {
  std::mt19937 random(51);
  const std::u16string alphabet = u"abcAB\u00e9\u00c9\u0416\xD83D\xDE00 ";
  const auto draw = [&](std::size_t longest) {
    std::u16string text(random() % (longest + 1), u' ');
    for (char16_t& unit : text) unit = alphabet[random() % alphabet.size()];
    return text;
  };
  CommonSubsequence subsequence;
  for (int round = 0; round < 3000; ++round) {
    const std::u16string first = draw(CommonSubsequence::kLongest);
    const std::u16string second = draw(90);
    const bool upperCase = round % 2 == 0;
    ASSERT_TRUE(subsequence.Set(first, upperCase));
    ASSERT_EQ(subsequence.Length(second, upperCase), SlowLength(first, second, upperCase)) << round;
  }
}

// What makes it a bound: the common-character count never matches more.
TEST(CommonSubsequence, NeverBoundsBelowTheCommonCharacterCount) {
  const auto names = testing::MixedNames(52, 150);
  similarity::CodeArrays scratch;
  CommonSubsequence subsequence;
  for (const std::u16string& first : names) {
    if (!subsequence.Set(first, /*upperCase=*/false)) continue;
    for (const std::u16string& second : names) {
      scratch.CodesA.assign(first.begin(), first.end());
      scratch.CodesB.assign(second.begin(), second.end());
      const std::int32_t common = similarity::CountCommonChars(scratch, 1, static_cast<std::int32_t>(first.size()), 1,
                                                               static_cast<std::int32_t>(second.size()));
      ASSERT_GE(subsequence.Length(second, false), common);
    }
  }
}

}  // namespace
}  // namespace vantel::matching
