#include "similarity/GestaltRatio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <random>
#include <string>

#include "tests/Printable.h"
#include "vantel/Errors.h"

namespace vantel::similarity {
namespace {

struct RatioCase {
  std::u16string first;
  std::u16string second;
  bool exactCase;
  double expected;  // the double nearest to the fraction

  friend void PrintTo(const RatioCase& c, std::ostream* out) {
    *out << testing::Printable(c.first) << '-' << testing::Printable(c.second) << (c.exactCase ? "-exact" : "-nocase");
  }
};

class SimilarityRatioCases : public ::testing::TestWithParam<RatioCase> {};

TEST_P(SimilarityRatioCases, GivesTheExpectedRatio) {
  const RatioCase& c = GetParam();
  CodeArrays scratch;
  EXPECT_EQ(SimilarityRatio(c.first, c.second, c.exactCase, scratch), c.expected);
  EXPECT_TRUE(scratch.CodesA.empty());
  EXPECT_TRUE(scratch.CodesB.empty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Gestalt, SimilarityRatioCases,
    ::testing::Values(
        RatioCase{u"abc", u"ABC", false, 1.0},               // equal once upper-cased
        RatioCase{u"abc", u"ABC", true, 0.0},                // no code in common
        RatioCase{u"Hello", u"hello", false, 1.0},
        RatioCase{u"Hello", u"hello", true, 0.8},            // the run "ello"
        RatioCase{u"Smith", u"smyth", false, 0.8},           // "SM", then "TH" to its right
        RatioCase{u"", u"", false, 1.0},
        RatioCase{u"", u"", true, 1.0},
        RatioCase{u"", u"a", true, 0.0},
        RatioCase{u"a", u"", false, 0.0},
        RatioCase{u"WIKIMEDIA", u"WIKIMANIA", true, 7.0 / 9.0},
        RatioCase{u"ABCD", u"BCDA", true, 0.75},             // "A" is replaced by the longer "BCD"
        RatioCase{u"aaa", u"aaba", true, 6.0 / 7.0},         // the first of two equally long runs wins
        RatioCase{u"abab", u"baab", true, 0.5},              // the order of the arguments matters...
        RatioCase{u"baab", u"abab", true, 0.75},             // ...this way round three characters match
        RatioCase{u"aaaa", u"aa", true, 2.0 / 3.0},
        RatioCase{u"cat", u"kat", false, 2.0 / 3.0},
        RatioCase{u"\u0142\u00f3d\u017a", u"\u0141\u00d3D\u0179", false, 1.0},  // upper-casing beyond Latin-1
        RatioCase{u"\u4e2d\u6587", u"\u4e2d\u570b", true, 0.5},                 // any UTF-16 unit is a character
        RatioCase{u"\u0142ukasz", u"\u015bukasz", false, 10.0 / 12.0}));        // l-stroke and s-acute differ
// clang-format on

// 43 'a' then 17 'b' against 43 'a' then 22 'c': 86/125 as the nearest double.
TEST(SimilarityRatio, IsTwiceTheCountOverTheLengthsRoundedOnce) {
  const std::u16string first = std::u16string(43, u'a') + std::u16string(17, u'b');
  const std::u16string second = std::u16string(43, u'a') + std::u16string(22, u'c');
  const double ratio = SimilarityRatio(first, second, false);
  EXPECT_EQ(ratio, 86.0 / 125.0);
  EXPECT_LT(ratio * 10000.0, 6880.0);  // the double lies just below 0.688
}

struct CountCase {
  std::u16string a;
  std::u16string b;
  std::int32_t start1, end1, start2, end2;
  std::int32_t expected;
};

TEST(CountCommonChars, CountsOnlyWithinValidRanges) {
  const CountCase cases[] = {
      {u"abcd", u"abcd", 1, 4, 1, 4, 4}, {u"abcd", u"abcd", 2, 3, 1, 4, 2},
      {u"abcd", u"abcd", 3, 2, 1, 4, 0},  // empty first range
      {u"abcd", u"abcd", 1, 4, 4, 3, 0},  // empty second range
      {u"abcd", u"abcd", 0, 4, 1, 4, 0},  // a start below 1 counts nothing
      {u"abcd", u"abcd", 1, 4, 0, 4, 0}, {u"abcd", u"xyz", 1, 4, 1, 3, 0},
  };
  for (const CountCase& c : cases) {
    CodeArrays scratch;
    scratch.CodesA.assign(c.a.begin(), c.a.end());
    scratch.CodesB.assign(c.b.begin(), c.b.end());
    EXPECT_EQ(CountCommonChars(scratch, c.start1, c.end1, c.start2, c.end2), c.expected)
        << "ranges " << c.start1 << ".." << c.end1 << " and " << c.start2 << ".." << c.end2;
  }
}

TEST(CountCommonChars, RefusesARangeBeyondTheCodes) {
  CodeArrays scratch;
  scratch.CodesA = {u'a'};
  scratch.CodesB = {u'a'};
  try {
    CountCommonChars(scratch, 1, 2, 1, 1);
    FAIL() << "expected a subscript error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), error::kSubscriptOutOfRange);
  }
}

// An independent count: the search as first described, extending a run from
// every pair of start positions, and recursing natively.
std::int32_t ReferenceCount(const std::u16string& a, const std::u16string& b, int s1, int e1, int s2, int e2) {
  if (s1 > e1 || s2 > e2 || s1 < 1 || s2 < 1) return 0;
  int best = 0, bestPos1 = 0, bestPos2 = 0;
  for (int i = s1; i <= e1; ++i) {
    for (int j = s2; j <= e2; ++j) {
      int k = 0;
      while (i + k <= e1 && j + k <= e2 &&
             a[static_cast<std::size_t>(i + k - 1)] == b[static_cast<std::size_t>(j + k - 1)]) {
        ++k;
        if (k > best) best = k, bestPos1 = i, bestPos2 = j;
      }
    }
  }
  if (best == 0) return 0;
  return best + ReferenceCount(a, b, bestPos1 + best, e1, bestPos2 + best, e2) +
         ReferenceCount(a, b, s1, bestPos1 - 1, s2, bestPos2 - 1);
}

TEST(CountCommonChars, AgreesWithTheExhaustiveSearchOnRandomStrings) {
  std::mt19937 random(20261207);
  CodeArrays scratch;  // reused on purpose: no call may see an earlier one's codes
  for (int round = 0; round < 20000; ++round) {
    // Small alphabets make long and tied runs common.
    const int alphabet = 1 + round % 5;
    std::uniform_int_distribution<int> letter(0, alphabet - 1);
    std::uniform_int_distribution<int> length(0, 12);
    std::u16string a(static_cast<std::size_t>(length(random)), u' ');
    std::u16string b(static_cast<std::size_t>(length(random)), u' ');
    for (char16_t& c : a) c = static_cast<char16_t>(u'a' + letter(random));
    for (char16_t& c : b) c = static_cast<char16_t>(u'a' + letter(random));
    const auto la = static_cast<int>(a.size());
    const auto lb = static_cast<int>(b.size());
    const double expected = a == b                 ? 1.0
                            : (la == 0 || lb == 0) ? 0.0
                                                   : ReferenceCount(a, b, 1, la, 1, lb) / double(la + lb) * 2.0;
    ASSERT_EQ(SimilarityRatio(a, b, true, scratch), expected)
        << "'" << std::string(a.begin(), a.end()) << "' '" << std::string(b.begin(), b.end()) << "'";
  }
}

// Strings of `length` units over `alphabet`, each unit picked at random.
std::u16string RandomUnits(std::mt19937& random, std::u16string_view alphabet, std::size_t length) {
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::u16string text(length, u' ');
  for (char16_t& c : text) c = alphabet[pick(random)];
  return text;
}

std::string Hex(std::u16string_view text) {
  std::string out;
  for (const char16_t c : text) out += std::to_string(static_cast<unsigned>(c)) + ' ';
  return out;
}

// Up to 64 units a side the count runs on bit rows, beyond that on the
// run-length table; both must give the exhaustive search's count, on whole
// strings and on every kind of sub-range.
TEST(CountCommonChars, AgreesWithTheExhaustiveSearchUpToAndBeyondSixtyFourUnits) {
  // Units that share their low seven bits collide in the bit rows' table of
  // units; the last alphabets are made of such units.
  const std::u16string_view alphabets[] = {
      u"a",
      u"ab",
      u"abc",
      u"abcde",
      u"etaoinshrdlu",
      u"a\u0161\u00e1\u8061\u0061\u0161",
      u"\u0101\u0181\u0201\u8001\uff81",
  };
  std::mt19937 random(20261208);
  std::uniform_int_distribution<std::size_t> length(0, 80);
  CodeArrays scratch;
  int shortCases = 0;
  for (int round = 0; round < 6000; ++round) {
    const std::u16string_view alphabet = alphabets[static_cast<std::size_t>(round) % std::size(alphabets)];
    // Mostly lengths near the limit of the bit rows, on either side of it.
    const std::size_t length1 = round % 3 == 0 ? length(random) : 56 + length(random) % 16;
    const std::size_t length2 = round % 3 == 1 ? length(random) : 56 + length(random) % 16;
    const std::u16string a = RandomUnits(random, alphabet, length1);
    const std::u16string b = RandomUnits(random, alphabet, length2);
    scratch.CodesA.assign(a.begin(), a.end());
    scratch.CodesB.assign(b.begin(), b.end());
    const auto la = static_cast<int>(a.size());
    const auto lb = static_cast<int>(b.size());
    ASSERT_EQ(CountCommonChars(scratch, 1, la, 1, lb), ReferenceCount(a, b, 1, la, 1, lb))
        << "'" << Hex(a) << "' '" << Hex(b) << "'";
    shortCases += la <= 64 && lb <= 64;
    // A sub-range of each.
    std::uniform_int_distribution<int> start1(1, la + 1), start2(1, lb + 1);
    const int s1 = start1(random), s2 = start2(random);
    const int e1 = std::uniform_int_distribution<int>(s1 - 1, la)(random);
    const int e2 = std::uniform_int_distribution<int>(s2 - 1, lb)(random);
    ASSERT_EQ(CountCommonChars(scratch, s1, e1, s2, e2), ReferenceCount(a, b, s1, e1, s2, e2))
        << "'" << Hex(a) << "' '" << Hex(b) << "' " << s1 << ".." << e1 << " " << s2 << ".." << e2;
  }
  EXPECT_GT(shortCases, 2000);  // both paths were taken often
  EXPECT_LT(shortCases, 5000);
}

TEST(CountCommonChars, CountsRunsThatReachTheLastBitOfARow) {
  struct Case {
    std::u16string a, b;
    std::int32_t expected;
  } const cases[] = {
      {std::u16string(64, u'a'), std::u16string(64, u'a'), 64},
      {std::u16string(64, u'a'), std::u16string(63, u'b') + u'a', 1},
      {std::u16string(63, u'b') + u'a', std::u16string(64, u'a'), 1},
      {std::u16string(64, u'a'), std::u16string(65, u'a'), 64},  // 65 units: the general path
      {std::u16string(32, u'x') + std::u16string(32, u'y'), std::u16string(32, u'y') + std::u16string(32, u'x'), 32},
      {u"\u0061\u00e1", u"\u00e1\u0161\u0061",
       1},  // 0x61, 0xe1 and 0x161 share a slot; "a" and "\u00e1" are out of order
  };
  for (const Case& c : cases) {
    CodeArrays scratch;
    scratch.CodesA.assign(c.a.begin(), c.a.end());
    scratch.CodesB.assign(c.b.begin(), c.b.end());
    EXPECT_EQ(
        CountCommonChars(scratch, 1, static_cast<std::int32_t>(c.a.size()), 1, static_cast<std::int32_t>(c.b.size())),
        c.expected)
        << Hex(c.a) << "| " << Hex(c.b);
  }
}

TEST(SimilarityRatio, CountsAsManyLevelsAsTheStringsNeed) {
  // Each level of this search matches a single character and leaves all the
  // rest to its right, so there are as many levels as characters matched.
  std::u16string first, second;
  for (int i = 0; i < 400; ++i) {
    first += u'a';
    second += u"ab";
  }
  EXPECT_EQ(SimilarityRatio(first, second, true), 2.0 * 400 / 1200);
}

TEST(RatioOfCommon, IsTheRatioOfThatManyCommonCharacters) {
  struct Case {
    std::int32_t common, length1, length2;
    double expected;
  } const cases[] = {
      {7, 9, 9, 7.0 / 9.0},        // WIKIMEDIA and WIKIMANIA
      {43, 60, 65, 86.0 / 125.0},  // the double just below 0.688
      {0, 3, 3, 0.0},
      {5, 5, 5, 1.0},
      {9, 3, 5, 0.75},  // more than the shorter length is cut to it
      {0, 0, 0, 1.0},   // two empty strings are equal
      {0, 0, 4, 0.0},
      {4, 4, 0, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RatioOfCommon(c.common, c.length1, c.length2), c.expected) << c.common << "/" << c.length1;
  }
  // The very ratio SimilarityRatio reports for that count.
  const std::u16string a43(43, u'a');
  EXPECT_EQ(RatioOfCommon(43, 60, 65),
            SimilarityRatio(a43 + std::u16string(17, u'b'), a43 + std::u16string(22, u'c'), false));
}

}  // namespace
}  // namespace vantel::similarity
