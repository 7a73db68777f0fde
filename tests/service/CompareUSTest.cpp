#include "vantel/CompareUS.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/Printable.h"

namespace vantel {
namespace {

constexpr std::int16_t kMethods[] = {0, 1, 2, 3, 99, 7, -5, 4, 98, 100, INT16_MIN, INT16_MAX};

struct CompareCase {
  std::u16string first;
  std::u16string second;
  std::int16_t method;
  double expected;

  friend void PrintTo(const CompareCase& c, std::ostream* out) {
    *out << testing::Printable(c.first) << '-' << testing::Printable(c.second) << "-method" << c.method;
  }
};

class CompareCases : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareCases, AnswersAsExpected) {
  const CompareCase& c = GetParam();
  CompareUS comparer;
  EXPECT_EQ(comparer.Compare(c.first, c.second, c.method), c.expected);
}

// cat/kat: both sound "kat" (sound 1); the spelling shares "at" (2/3).
// Cat/cat: the capital C has no rule, so the forms "Cat" and "kat" share
// "at" (sound 2/3); the spelling ignores case (1).
INSTANTIATE_TEST_SUITE_P(Methods, CompareCases,
                         ::testing::Values(CompareCase{u"cat", u"kat", 0, 100}, CompareCase{u"cat", u"kat", 1, 66.66},
                                           CompareCase{u"cat", u"kat", 2, 83.33}, CompareCase{u"cat", u"kat", 3, 100},
                                           CompareCase{u"cat", u"kat", 99, 66.66}, CompareCase{u"cat", u"kat", 7, 100},
                                           CompareCase{u"cat", u"kat", -5, 100}, CompareCase{u"Cat", u"cat", 0, 100},
                                           CompareCase{u"Cat", u"cat", 1, 66.66}, CompareCase{u"Cat", u"cat", 2, 83.33},
                                           CompareCase{u"Cat", u"cat", 3, 66.66},
                                           CompareCase{u"Cat", u"cat", 99, 100}));

TEST(Compare, RefusesEmptyAndOverlongStringsWithMinusOne) {
  const std::u16string seventy(70, u'a');
  const std::u16string seventyOne(71, u'a');
  for (const std::int16_t method : kMethods) {
    CompareUS comparer;
    EXPECT_EQ(comparer.Compare(u"", u"cat", method), -1.0);
    EXPECT_EQ(comparer.Compare(u"cat", u"", method), -1.0);
    EXPECT_EQ(comparer.Compare(u"", u"", method), -1.0);
    EXPECT_EQ(comparer.Compare(seventyOne, u"cat", method), -1.0);
    EXPECT_EQ(comparer.Compare(u"cat", seventyOne, method), -1.0);
    EXPECT_EQ(comparer.Compare(seventy, seventy, method), 100.0);
    // Digits have no rule, so they sound as they are spelled: both measures
    // are 2 * 1 / 71, whatever the method.
    EXPECT_EQ(comparer.Compare(u"1", std::u16string(70, u'1'), method), 2.81);
  }
  CompareUS comparer;
  EXPECT_EQ(comparer.Compare(u"a", seventy, 99), 2.81);  // 2 / 71
}

TEST(Compare, GivesOneHundredForIdenticalStringsWithEveryMethod) {
  CompareUS comparer;
  for (const std::u16string& text : {std::u16string(u"x"), std::u16string(u"Robert O'Neil"),
                                     std::u16string(u"\u0141ukasz \u4e2d"), std::u16string(70, u'z')}) {
    for (const std::int16_t method : kMethods) EXPECT_EQ(comparer.Compare(text, text, method), 100.0);
  }
}

TEST(Compare, CutsTheSpellingAnswerToTwoDecimals) {
  CompareUS comparer;
  const std::u16string a43 = std::u16string(43, u'a');
  EXPECT_EQ(comparer.Compare(a43 + std::u16string(17, u'b'), a43 + std::u16string(22, u'c'), 99), 68.79);
  const std::u16string a51 = std::u16string(51, u'a');
  EXPECT_EQ(comparer.Compare(a51 + std::u16string(9, u'b'), a51 + std::u16string(14, u'c'), 99), 81.59);
  EXPECT_EQ(comparer.Compare(u"abc", u"xyz", 99), 0.0);
}

TEST(Compare, DependsOnTheOrderOfTheStrings) {
  CompareUS comparer;
  EXPECT_EQ(comparer.Compare(u"ABAB", u"BAAB", 99), 50.0);
  EXPECT_EQ(comparer.Compare(u"BAAB", u"ABAB", 99), 75.0);
}

TEST(Compare, LoadsTheRulesOnTheFirstCallWhateverItAnswers) {
  CompareUS refused, spellingOnly;
  EXPECT_FALSE(refused.Initialized());
  EXPECT_EQ(refused.Compare(u"", u"x", 2), -1.0);
  EXPECT_TRUE(refused.Initialized());
  EXPECT_EQ(spellingOnly.Compare(u"x", u"x", 99), 100.0);
  EXPECT_TRUE(spellingOnly.Initialized());
}

TEST(InitVT, ChangesNoAnswerWhenCalledAgainOrFirst) {
  CompareUS lazy, eager, twice;
  eager.InitVT();
  EXPECT_TRUE(eager.Initialized());
  twice.InitVT();
  twice.InitVT();
  for (const std::int16_t method : kMethods) {
    for (const auto& [a, b] :
         {std::pair{u"knight", u"night"}, std::pair{u"Smith", u"Smyth"}, std::pair{u"phone", u"fone"}}) {
      const double expected = lazy.Compare(a, b, method);
      EXPECT_EQ(eager.Compare(a, b, method), expected);
      EXPECT_EQ(twice.Compare(a, b, method), expected);
      twice.InitVT();
      EXPECT_EQ(twice.Compare(a, b, method), expected);
    }
  }
}

TEST(Compare, TakesUtf8AndRefusesMalformedUtf8) {
  CompareUS comparer;
  EXPECT_EQ(comparer.Compare("cat", "kat", 2), 83.33);
  EXPECT_EQ(comparer.Compare("\xc5\x81ukasz", "\xc5\x82ukasz", 99), 100.0);  // case of l-stroke ignored
  EXPECT_EQ(comparer.Compare("\xc5\x81ukasz", "Lukasz", 99), 83.33);         // l-stroke is not L
  EXPECT_THROW(comparer.Compare("ca\xfft", "cat", 2), InvalidUtf8);
  EXPECT_THROW(comparer.Compare("cat", "\xc3", 2), InvalidUtf8);
  EXPECT_EQ(comparer.Compare("cat", "kat", 0), 100.0);  // still usable
}

TEST(Compare, CountsLengthInUtf16Units) {
  CompareUS comparer;
  // 35 characters outside the Basic Multilingual Plane are 70 units; 36 are 72.
  std::u16string faces;
  for (int i = 0; i < 35; ++i) faces += u"\U0001F600";
  EXPECT_EQ(comparer.Compare(faces, faces, 99), 100.0);
  EXPECT_EQ(comparer.Compare(faces + u"\U0001F600", faces, 99), -1.0);
}

TEST(CompareUS, AMovedFromObjectStartsAfresh) {
  CompareUS first;
  EXPECT_EQ(first.Compare(u"cat", u"kat", 2), 83.33);
  CompareUS second = std::move(first);
  EXPECT_TRUE(second.Initialized());
  EXPECT_EQ(second.Compare(u"cat", u"kat", 2), 83.33);
  // A moved-from object is defined to start afresh.
  EXPECT_FALSE(first.Initialized());  // NOLINT(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
  EXPECT_EQ(first.Compare(u"cat", u"kat", 2), 83.33);
}

TEST(RuntimeError, CarriesNumberAndDescription) {
  struct Case {
    std::int32_t number;
    std::string_view description;
  } const cases[] = {{5, "Invalid procedure call or argument"},
                     {6, "Overflow"},
                     {9, "Subscript out of range"},
                     {5017, "Syntax error in regular expression"}};
  for (const Case& c : cases) {
    const RuntimeError e(c.number);
    EXPECT_EQ(e.number(), c.number);
    EXPECT_EQ(e.description(), c.description);
    EXPECT_NE(std::string(e.what()).find(c.description), std::string::npos);
  }
}

}  // namespace
}  // namespace vantel
