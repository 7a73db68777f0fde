#include "vantel/NameForms.h"

#include <gtest/gtest.h>

#include <iostream>

#include "tests/matching/RandomNames.h"
#include "tests/names/NameData.h"
#include "vantel/Errors.h"
#include "vantel/Utf8.h"

namespace vantel {
namespace {

using names::testing::NamePair;
using names::testing::ReadPairs;

std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }

TEST(SortedWords, SplitsAtSpacesCommasAndHyphensAndLowersCase) {
  const struct {
    std::u16string text, sorted;
  } cases[] = {
      {u"SMITH, John", u"john smith"},
      {u"John Smith", u"john smith"},
      {u"Smith John", u"john smith"},
      {u"Lloyd-Webber, Anna", u"anna lloyd webber"},
      {u"  de la  Cruz,Maria ", u"cruz de la maria"},
      {u"O'NEIL, Mary-Kate", u"kate mary o'neil"},
      {u"J. R. Smith", u"j. r. smith"},
      {u"\u00c9MILE Zola", u"zola \u00e9mile"},
      {u"\u0141UKASZ \u017b\u00d3\u0141W", u"\u0142ukasz \u017c\u00f3\u0142w"},
      {u"\u0418\u0412\u0410\u041d\u041e\u0412 \u0414\u043c\u0438\u0442\u0440\u0438\u0439",
       u"\u0434\u043c\u0438\u0442\u0440\u0438\u0439 \u0438\u0432\u0430\u043d\u043e\u0432"},
      {u"\u0396\u039f\u039b\u038f\u03a4\u0391\u03a3 \u039e\u03b5\u03bd\u03bf\u03c6\u03ce\u03bd",
       u"\u03b6\u03bf\u03bb\u03ce\u03c4\u03b1\u03c3 \u03be\u03b5\u03bd\u03bf\u03c6\u03ce\u03bd"},
      {u"\u0401\u043b\u043a\u0438\u043d \u0406\u0432\u0430\u043d",
       u"\u0451\u043b\u043a\u0438\u043d \u0456\u0432\u0430\u043d"},
      {u", - ,", u""},
      {u"x", u"x"},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(SortedWords(c.text)), U8(c.sorted)) << U8(c.text);
}

TEST(NameTable, ParsesGroupsAndFindsEveryGroupOfAName) {
  const NameTable table = NameTable::Parse(
      "\xEF\xBB\xBF# a comment\n"
      "Edward,Ted,Ned\r\n\n  Theodore , Ted,Theo\nEdmund,Ned\n",
      "test");
  EXPECT_EQ(table.groupCount(), 3u);
  const struct {
    std::u16string name;
    std::vector<std::u16string_view> formal;
  } cases[] = {
      {u"ted", {u"Edward", u"Theodore"}}, {u"TED", {u"Edward", u"Theodore"}}, {u"Ned", {u"Edward", u"Edmund"}},
      {u"Theo", {u"Theodore"}},           {u"edward", {u"Edward"}},           {u"Bob", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(table.FormalNamesOf(c.name), c.formal) << U8(c.name);
}

TEST(NameTable, RefusesEmptyGroupsAndNamesWithTheLine) {
  const struct {
    std::string text, message;
  } cases[] = {
      {"Robert,Bob\n,,\n", "aliases.csv line 2: empty group"},
      {"Robert,Bob\n\n , \n", "aliases.csv line 3: empty group"},
      {"Robert,,Bob\n", "aliases.csv line 1: empty name in field 2"},
      {"Robert,Bob,\n", "aliases.csv line 1: empty name in field 3"},
      {"Robert\nWilliam,B\xFFll\n", "aliases.csv line 2: not valid UTF-8 in field 2"},
  };
  for (const auto& c : cases) {
    try {
      (void)NameTable::Parse(c.text, "aliases.csv");
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const RuntimeError& refused) {
      EXPECT_EQ(refused.number(), error::kInvalidProcedureCall);
      EXPECT_EQ(refused.description(), c.message);
    }
  }
}

TEST(NameTable, RefusesAFileThatCannotBeRead) {
  try {
    (void)NameTable::Read("/nonexistent/aliases.csv");
    ADD_FAILURE() << "a missing file was read";
  } catch (const RuntimeError& refused) {
    EXPECT_EQ(refused.description(), "/nonexistent/aliases.csv: cannot be read");
  }
}

TEST(NameTable, AddsAnotherTablesGroupsToItsOwn) {
  NameTable table = NameTable::Parse("Robert,Bob\nMargaret,Peggy\n", "one");
  table.Add(NameTable::Parse("robert,Bertie\nEdward,Ted\n", "two"));
  EXPECT_EQ(table.groupCount(), 3u);
  EXPECT_EQ(table.FormalNamesOf(u"Bertie"), std::vector<std::u16string_view>{u"Robert"});
  EXPECT_EQ(table.FormalNamesOf(u"bob"), std::vector<std::u16string_view>{u"Robert"});
  EXPECT_EQ(table.FormalNamesOf(u"Ted"), std::vector<std::u16string_view>{u"Edward"});
}

TEST(NameTable, BuiltInTableHoldsFourHundredGivenNamesAndTheirShortForms) {
  const std::shared_ptr<const NameTable> english = NameTable::English();
  EXPECT_GE(english->groupCount(), 400u);
  const struct {
    std::u16string name;
    std::vector<std::u16string_view> formal;
  } cases[] = {
      {u"Bob", {u"Robert", u"Roberto"}}, {u"Peggy", {u"Margaret"}},
      {u"Liam", {u"William"}},           {u"Harry", {u"Harold", u"Harriet", u"Harrison", u"Henry"}},
      {u"Margaret", {u"Margaret"}},      {u"Smith", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(english->FormalNamesOf(c.name), c.formal) << U8(c.name);
  const std::vector<std::u16string_view> ted = english->FormalNamesOf(u"Ted");
  EXPECT_NE(std::find(ted.begin(), ted.end(), u"Edward"), ted.end());
  EXPECT_NE(std::find(ted.begin(), ted.end(), u"Theodore"), ted.end());
}

TEST(NameForms, AreTheStringAloneWithoutOptions) {
  for (const std::u16string& name : matching::testing::RandomNames(7, 200)) {
    EXPECT_EQ(NameForms(name, {}), std::vector<std::u16string>{name});
  }
}

TEST(NameForms, StartWithTheStringAndHoldEachFormOnceWithinBounds) {
  NameOptions all;
  all.anyOrder = true;
  all.aliases = NameTable::English();
  all.transliterate = TransliterationAvailable();
  const std::u16string many = u"Ted Harry Ned Sandy Millie Jenny Pat Chris";  // every word in several groups
  const std::vector<std::u16string> names = {many, u"Bob Smith", u"Smith, Bob",
                                             u"\u0414\u043c\u0438\u0442\u0440\u0438\u0439", u"x"};
  for (const std::u16string& name : names) {
    const std::vector<std::u16string> forms = NameForms(name, all);
    ASSERT_FALSE(forms.empty());
    EXPECT_EQ(forms.front(), name);
    EXPECT_LE(forms.size(), kMostNameForms);
    for (std::size_t i = 0; i < forms.size(); ++i) {
      EXPECT_FALSE(forms[i].empty());
      EXPECT_LE(forms[i].size(), CompareUS::kMaxLength);
      for (std::size_t j = 0; j < i; ++j) EXPECT_NE(forms[i], forms[j]);
    }
  }
  EXPECT_EQ(NameForms(many, all).size(), kMostNameForms);
  EXPECT_EQ(SortedNameForms(NameForms(many, all), all).size(), kMostNameForms);
  const std::vector<std::u16string> bob = NameForms(u"Smith, Bob", all);
  EXPECT_NE(std::find(bob.begin(), bob.end(), u"Smith, Robert"), bob.end());
  const std::vector<std::u16string> sorted = SortedNameForms(bob, all);
  EXPECT_NE(std::find(sorted.begin(), sorted.end(), u"bob smith"), sorted.end());
  EXPECT_NE(std::find(sorted.begin(), sorted.end(), u"robert smith"), sorted.end());
  for (const std::u16string& form : sorted) EXPECT_EQ(form, SortedWords(form));
  NameOptions written = all;
  written.anyOrder = false;
  EXPECT_TRUE(SortedNameForms(bob, written).empty());
}

TEST(NameForms, GiveEveryGroupOfAShortFormAFormOfItsOwn) {
  NameOptions aliases;
  aliases.aliases = std::make_shared<const NameTable>(NameTable::Parse("Edward,Ted\nTheodore,Ted\n", "t"));
  EXPECT_EQ(NameForms(u"Ted Hughes", aliases),
            (std::vector<std::u16string>{u"Ted Hughes", u"Edward Hughes", u"Theodore Hughes"}));
  // One word replaced before two.
  EXPECT_EQ(
      NameForms(u"Ted-Ted", aliases),
      (std::vector<std::u16string>{u"Ted-Ted", u"Edward-Ted", u"Theodore-Ted", u"Ted-Edward", u"Ted-Theodore",
                                   u"Edward-Edward", u"Edward-Theodore", u"Theodore-Edward", u"Theodore-Theodore"}));
}

TEST(NameForms, LeaveOutFormsLongerThanCompareTakes) {
  NameOptions aliases;
  aliases.aliases = std::make_shared<const NameTable>(
      NameTable::Parse("Bartholomew-Maximilian-Montgomery-Fitzwilliam-Cholmondeley,Bo\n", "t"));
  const std::u16string name = u"Bo Featherstonehaugh-Wriothesley";
  EXPECT_EQ(NameForms(name, aliases), std::vector<std::u16string>{name});
  const std::u16string tooLong(71, u'a');
  NameOptions order;
  order.anyOrder = true;
  EXPECT_EQ(NameForms(tooLong, order), std::vector<std::u16string>{tooLong});
  EXPECT_TRUE(SortedNameForms(NameForms(tooLong, order), order).empty());
  EXPECT_TRUE(SortedNameForms({u", -"}, order).empty());
}

TEST(CompareNames, IsCompareWithoutOptionsAndNeverBelowItWithThem) {
  CompareUS comparer;
  const std::vector<std::u16string> names = matching::testing::RandomNames(11, 60);
  NameOptions all;
  all.anyOrder = true;
  all.aliases = NameTable::English();
  all.transliterate = TransliterationAvailable();
  for (const std::int16_t method :
       {std::int16_t{0}, std::int16_t{1}, std::int16_t{2}, std::int16_t{3}, std::int16_t{99}}) {
    for (std::size_t i = 0; i + 1 < names.size(); i += 2) {
      const double plain = comparer.Compare(names[i], names[i + 1], method);
      EXPECT_EQ(CompareNames(comparer, names[i], names[i + 1], method, {}).answer, plain);
      const NamesAnswer under = CompareNames(comparer, names[i], names[i + 1], method, all);
      EXPECT_GE(under.answer, plain);
      EXPECT_EQ(comparer.Compare(under.first, under.second, method), under.answer);
    }
  }
  EXPECT_EQ(CompareNames(comparer, u"", u"Bob", 0, all).answer, CompareUS::kRefused);
  EXPECT_EQ(CompareNames(comparer, std::u16string(71, u'b'), u"Bob", 0, all).answer, CompareUS::kRefused);
}

// The share of pairs whose answer reaches 85 with method 2.
double ShareFound(const std::vector<NamePair>& pairs, const NameOptions& options) {
  CompareUS comparer;
  std::size_t found = 0;
  for (const auto& [first, second] : pairs) {
    if (CompareNames(comparer, first, second, 2, options).answer >= 85.0) ++found;
  }
  return static_cast<double>(found) / static_cast<double>(pairs.size());
}

struct FeatureCase {
  const char* name;
  const char* same;       // pairs of one person
  const char* different;  // pairs of two people
  NameOptions options;
  double sameAfterAtLeast;
  double differentAfterAtMost;
};

// Every same-person pair of reordered words and of short forms is found: the
// forms coincide. Transliteration cannot promise that: a name has several
// Latin spellings, and Arabic and Hebrew are written without their vowels,
// which ICU does not guess.
TEST(CompareNames, FindsThePeopleOfEachTableAtThreshold85) {
  NameOptions order, nicknames, transliterate;
  order.anyOrder = true;
  nicknames.aliases = NameTable::English();
  transliterate.transliterate = true;
  std::vector<FeatureCase> cases = {
      {"order any", "reordered.tsv", "different_reordered.tsv", order, 1.0, 0.05},
      {"nicknames", "nicknames.tsv", "different_nicknames.tsv", nicknames, 1.0, 0.1},
  };
  if (TransliterationAvailable()) {
    cases.push_back({"transliterate", "transliterated.tsv", "different_transliterated.tsv", transliterate, 0.6, 0.05});
  }
  for (const FeatureCase& c : cases) {
    const std::vector<NamePair> same = ReadPairs(c.same), different = ReadPairs(c.different);
    const double sameBefore = ShareFound(same, {}), sameAfter = ShareFound(same, c.options);
    const double differentBefore = ShareFound(different, {}), differentAfter = ShareFound(different, c.options);
    std::cout << c.name << ": same person " << same.size() << " pairs, found " << sameBefore << " -> " << sameAfter
              << "; different people " << different.size() << " pairs, found " << differentBefore << " -> "
              << differentAfter << '\n';
    EXPECT_GE(sameAfter, c.sameAfterAtLeast) << c.name;
    EXPECT_LE(differentAfter, c.differentAfterAtMost) << c.name;
    EXPECT_LT(sameBefore, sameAfter) << c.name;
  }
}

TEST(CompareNames, ReachesTheTopForEveryReorderedAndEveryShortFormPair) {
  CompareUS comparer;
  NameOptions order, nicknames;
  order.anyOrder = true;
  nicknames.aliases = NameTable::English();
  for (const auto& [first, second] : ReadPairs("reordered.tsv")) {
    EXPECT_EQ(CompareNames(comparer, first, second, 2, order).answer, 100.0) << U8(first) << " / " << U8(second);
  }
  for (const auto& [first, second] : ReadPairs("nicknames.tsv")) {
    EXPECT_EQ(CompareNames(comparer, first, second, 2, nicknames).answer, 100.0) << U8(first) << " / " << U8(second);
  }
}

}  // namespace
}  // namespace vantel
