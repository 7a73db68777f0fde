// Checks the built-in rule set against its known shape: groups, lengths,
// contexts and the phoneme alphabet. Most mistypings of a rule change at
// least one of these counts.

#include "phonetics/EnglishRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "phonetics/RuleSet.h"
#include "tests/phonetics/EnglishRuleSet.h"

namespace vantel::phonetics {
namespace {

class EnglishRules : public WithEnglishRules {
 protected:
  static std::vector<RuleRow> Rows() {
    std::vector<RuleRow> rows;
    for (std::size_t row = 0; row <= static_cast<std::size_t>(rules_->RuleCount()); ++row) {
      rows.push_back(rules_->RuleTable()[row]);
    }
    return rows;
  }
  static std::vector<std::string> Codes(const RuleRow& row) {
    std::istringstream words(Narrow(row.phonemes));
    std::vector<std::string> codes;
    for (std::string code; words >> code;) codes.push_back(code);
    return codes;
  }
  static std::size_t Occurrences(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size()))
      ++count;
    return count;
  }
};

TEST_F(EnglishRules, FillRows0To348) {
  EXPECT_EQ(rules_->RuleCount(), 348);
  EXPECT_EQ(rules_->RuleText()[0], u"[bdvjlmnrw] [[ 's ]]  -> z");
  EXPECT_EQ(rules_->RuleText()[348], u" [[ z ]]  -> z ");
  EXPECT_TRUE(rules_->RuleText()[349].empty());
  for (int row = 1; row <= 348; ++row) {
    EXPECT_EQ(rules_->RuleText()[static_cast<std::size_t>(row)].back(), u' ') << "row " << row;
  }
  std::set<std::u16string_view> distinct;
  for (std::size_t row = 0; row < 349; ++row) distinct.insert(rules_->RuleText()[row]);
  EXPECT_EQ(distinct.size(), 349u);
}

TEST_F(EnglishRules, StandInTwentySevenGroupsEachClosedByItsUnconditionalRule) {
  struct Group {
    char16_t key;
    int first, last;
    std::u16string_view closing;
  } const groups[] = {
      {u'\'', 0, 3, u" [[ ' ]]  -> "},        {u'a', 4, 36, u" [[ a ]]  -> a "},
      {u'b', 37, 42, u" [[ b ]]  -> b "},     {u'c', 43, 53, u" [[ c ]]  -> k "},
      {u'd', 54, 63, u" [[ d ]]  -> d "},     {u'e', 64, 115, u" [[ e ]]  -> e "},
      {u'f', 116, 117, u" [[ f ]]  -> f "},   {u'g', 118, 127, u" [[ g ]]  -> g "},
      {u'h', 128, 133, u" [[ h ]]  -> "},     {u'i', 134, 161, u" [[ i ]]  -> i "},
      {u'j', 162, 162, u" [[ j ]]  -> jh "},  {u'k', 163, 164, u" [[ k ]]  -> k "},
      {u'l', 165, 169, u" [[ l ]]  -> l "},   {u'm', 170, 171, u" [[ m ]]  -> m "},
      {u'n', 172, 179, u" [[ n ]]  -> n "},   {u'o', 180, 227, u" [[ o ]]  -> aa "},
      {u'p', 228, 232, u" [[ p ]]  -> p "},   {u'q', 233, 235, u" [[ q ]]  -> k "},
      {u'r', 236, 237, u" [[ r ]]  -> r "},   {u's', 238, 260, u" [[ s ]]  -> s "},
      {u't', 261, 286, u" [[ t ]]  -> t "},   {u'u', 287, 321, u" [[ u ]]  -> y uu "},
      {u'v', 322, 323, u" [[ v ]]  -> v "},   {u'w', 324, 335, u" [[ w ]]  -> w "},
      {u'x', 336, 336, u" [[ x ]]  -> k s "}, {u'y', 337, 347, u" [[ y ]]  -> i "},
      {u'z', 348, 348, u" [[ z ]]  -> z "},
  };
  const std::vector<RuleRow> rows = Rows();
  int expectedRow = 0;
  for (const Group& group : groups) {
    ASSERT_EQ(group.first, expectedRow);
    for (int row = group.first; row <= group.last; ++row) {
      EXPECT_EQ(rows[static_cast<std::size_t>(row)].key, std::u16string(1, group.key)) << "row " << row;
    }
    EXPECT_EQ(rules_->RuleText()[static_cast<std::size_t>(group.last)], group.closing);
    expectedRow = group.last + 1;
  }
  EXPECT_EQ(expectedRow, 349);
}

TEST_F(EnglishRules, HaveLettersOfOneToSevenCharacters) {
  std::map<std::size_t, int> byLength;
  for (const RuleRow& row : Rows()) {
    ++byLength[row.letters.size()];
    EXPECT_EQ(row.letters.find(u' '), std::u16string::npos);
  }
  EXPECT_EQ(byLength, (std::map<std::size_t, int>{{1, 102}, {2, 130}, {3, 59}, {4, 42}, {5, 13}, {6, 2}, {7, 1}}));
  EXPECT_EQ(rules_->RuleTable()[273].letters, u"through");
  for (int row = 0; row < 349; ++row) {
    const std::u16string_view letters = rules_->RuleTable()[static_cast<std::size_t>(row)].letters;
    const bool lowerOnly =
        std::all_of(letters.begin(), letters.end(), [](char16_t c) { return c >= u'a' && c <= u'z'; });
    EXPECT_EQ(!lowerOnly, row <= 3 || row == 215) << "row " << row;
  }
  EXPECT_EQ(rules_->RuleTable()[215].letters, u"on't");
}

TEST_F(EnglishRules, EmitZeroToFourCodes) {
  std::map<std::size_t, int> byCount;
  for (const RuleRow& row : Rows()) ++byCount[Codes(row).size()];
  EXPECT_EQ(byCount, (std::map<std::size_t, int>{{0, 14}, {1, 147}, {2, 119}, {3, 55}, {4, 14}}));
}

TEST_F(EnglishRules, SplitBetweenLeftAndRightContexts) {
  int neither = 0, leftOnly = 0, rightOnly = 0, both = 0;
  for (const RuleRow& row : Rows()) {
    const bool left = !row.leftContext.empty(), right = !row.rightContext.empty();
    neither += !left && !right;
    leftOnly += left && !right;
    rightOnly += !left && right;
    both += left && right;
  }
  EXPECT_EQ(neither, 115);
  EXPECT_EQ(leftOnly, 69);
  EXPECT_EQ(rightOnly, 71);
  EXPECT_EQ(both, 94);
}

TEST_F(EnglishRules, UseTheContextVocabularyAsCounted) {
  int leftStartsWithCaret = 0, leftIsCaret = 0, rightEndsWithDollar = 0, rightIsDollar = 0;
  std::size_t vowels = 0, consonant = 0, consonants = 0, eiy = 0, voiced = 0, endings = 0, endingsLeft = 0;
  for (const RuleRow& row : Rows()) {
    const std::string left = Narrow(row.leftContext), right = Narrow(row.rightContext);
    leftStartsWithCaret += !left.empty() && left.front() == '^';
    leftIsCaret += left == "^";
    rightEndsWithDollar += !right.empty() && right.back() == '$';
    rightIsDollar += right == "$";
    EXPECT_EQ(Occurrences(left, "^") + Occurrences(right, "^"), left.starts_with('^') ? 1u : 0u);
    EXPECT_EQ(Occurrences(left, "$") + Occurrences(right, "$"), right.ends_with('$') ? 1u : 0u);
    for (const std::string& context : {left, right}) {
      vowels += Occurrences(context, "[aeiou]+");
      EXPECT_EQ(Occurrences(context, "[aeiou]"), Occurrences(context, "[aeiou]+"));
      consonants += Occurrences(context, "[bcdfghjklmnpqrstvwxyz]*");
      consonant += Occurrences(context, "[bcdfghjklmnpqrstvwxyz]") - Occurrences(context, "[bcdfghjklmnpqrstvwxyz]*");
      eiy += Occurrences(context, "[eiy]");
      voiced += Occurrences(context, "[bdvjlmnrw]");
    }
    endings += Occurrences(right, "(er|e|es|ed|ing|ely)");
    endingsLeft += Occurrences(left, "(");
  }
  EXPECT_EQ(leftStartsWithCaret, 62);
  EXPECT_EQ(leftIsCaret, 47);
  EXPECT_EQ(rightEndsWithDollar, 59);
  EXPECT_EQ(rightIsDollar, 54);
  EXPECT_EQ(vowels, 98u);
  EXPECT_EQ(consonant, 44u);
  EXPECT_EQ(consonants, 52u);
  EXPECT_EQ(eiy, 14u);
  EXPECT_EQ(voiced, 5u);
  EXPECT_EQ(endings, 14u);
  EXPECT_EQ(endingsLeft, 0u);
  EXPECT_EQ(rules_->RuleTable()[259].rightContext, u"'");
}

TEST_F(EnglishRules, EmitFortyCodesFromTheseRules) {
  struct Code {
    std::string code;
    int rules;
    std::vector<std::string> firstLetters;  // the letters of the first rules emitting it, in row order
  };
  const std::vector<Code> alphabet = {
      {"@", 25, {"a", "ar", "ally", "al"}},        {"@@", 20, {"ar", "er", "earn", "ear"}},
      {"a", 6, {"a", "arr", "hav", "that"}},       {"aa", 8, {"are", "ar", "o", "wa"}},
      {"ai", 22, {"ci", "eye", "i", "in"}},        {"au", 8, {"dow", "hour", "how", "now"}},
      {"b", 8, {"able", "be", "being", "both"}},   {"ch", 4, {"ch", "ti", "tur", "tu"}},
      {"d", 19, {"ded", "d", "de", "do"}},         {"dh", 15, {"other", "the", "that", "this"}},
      {"e", 23, {"ar", "any", "again", "air"}},    {"ei", 11, {"as", "a", "ai", "ay"}},
      {"f", 6, {"eful", "ful", "f", "ough"}},      {"g", 12, {"again", "giv", "g", "ge"}},
      {"h", 6, {"hav", "here", "how", "h"}},       {"i", 28, {"ag", "be", "being", "bus"}},
      {"ii", 28, {"any", "ally", "being", "e"}},   {"jh", 7, {"ag", "ang", "du", "gges"}},
      {"k", 15, {"alk", "ch", "ck", "com"}},       {"l", 20, {"ally", "al", "als", "able"}},
      {"m", 8, {"com", "ement", "mov", "m"}},      {"n", 31, {"any", "again", "ang", "even"}},
      {"ng", 9, {"being", "doing", "ng", "ngl"}},  {"oi", 2, {"oy", "oi"}},
      {"oo", 14, {"aw", "au", "alk", "al"}},       {"ou", 19, {"both", "lo", "orough", "ow"}},
      {"p", 6, {"oup", "peop", "pow", "put"}},     {"r", 38, {"are", "ar", "arr", "air"}},
      {"s", 17, {"as", "ci", "c", "gges"}},        {"sh", 10, {"ci", "sh", "sur", "ssu"}},
      {"t", 12, {"d", "ement", "great", "ought"}}, {"th", 3, {"both", "through", "th"}},
      {"u", 18, {"eful", "ful", "ould", "ook"}},   {"uh", 16, {"com", "does", "one", "ov"}},
      {"uu", 42, {"do", "doing", "du", "ew"}},     {"v", 10, {"ev", "even", "giv", "hav"}},
      {"w", 14, {"one", "once", "quar", "qu"}},    {"y", 11, {"ew", "eu", "un", "ur"}},
      {"z", 28, {"'s", "als", "bus", "does"}},     {"zh", 3, {"sion", "sur", "su"}},
  };
  std::map<std::string, int> rulesEmitting;
  std::map<std::string, std::vector<std::string>> lettersEmitting;
  std::vector<int> rowsRepeatingACode;
  int row = 0;
  for (const RuleRow& rule : Rows()) {
    std::vector<std::string> codes = Codes(rule);
    std::sort(codes.begin(), codes.end());
    if (std::adjacent_find(codes.begin(), codes.end()) != codes.end()) rowsRepeatingACode.push_back(row);
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    for (const std::string& code : codes) {
      ++rulesEmitting[code];
      // Some letters emit a code in several rules; the list names each once.
      auto& letters = lettersEmitting[code];
      if (std::find(letters.begin(), letters.end(), Narrow(rule.letters)) == letters.end()) {
        letters.push_back(Narrow(rule.letters));
      }
    }
    ++row;
  }
  ASSERT_EQ(rulesEmitting.size(), 40u);
  for (const Code& code : alphabet) {
    EXPECT_EQ(rulesEmitting[code.code], code.rules) << "code " << code.code;
    auto letters = lettersEmitting[code.code];
    letters.resize(std::min<std::size_t>(letters.size(), 4));
    EXPECT_EQ(letters, code.firstLetters) << "code " << code.code;
  }
  EXPECT_EQ(rowsRepeatingACode, (std::vector<int>{34, 54, 71, 229}));
}

TEST_F(EnglishRules, MakeTheseLettersSilent) {
  std::vector<int> silent;
  for (int row = 0; row < 349; ++row) {
    if (rules_->RuleTable()[static_cast<std::size_t>(row)].phonemes.empty()) silent.push_back(row);
  }
  EXPECT_EQ(silent, (std::vector<int>{3, 64, 65, 68, 77, 99, 126, 133, 163, 166, 249, 257, 306, 307}));
  const std::pair<int, std::u16string_view> rightContexts[] = {{64, u"$"},  {65, u"$"},  {68, u"d$"}, {77, u"w"},
                                                               {99, u"s$"}, {163, u"n"}, {249, u"s"}, {257, u"c[eiy]"}};
  for (const auto& [row, right] : rightContexts) {
    EXPECT_EQ(rules_->RuleTable()[static_cast<std::size_t>(row)].rightContext, right) << "row " << row;
  }
  EXPECT_EQ(rules_->RuleTable()[126].leftContext, u"[aeiou]+");
  EXPECT_EQ(rules_->RuleTable()[166].leftContext, u"l");
  EXPECT_EQ(rules_->RuleTable()[306].leftContext, u"^g");
  EXPECT_EQ(rules_->RuleTable()[307].leftContext, u"g");
}

TEST_F(EnglishRules, RepeatElevenLeftContextsThreeTimes) {
  const std::u16string_view eleven[] = {u"t", u"s", u"r", u"d", u"l", u"z", u"n", u"j", u"th", u"ch", u"sh"};
  struct Run {
    int first;
    std::u16string_view letters, right, phonemes;
    std::u16string_view general;
  } const runs[] = {
      {78, u"ew", u"", u"uu", u" [[ ew ]]  -> y uu "},
      {290, u"ur", u"[aeiou]+", u"u r", u" [[ ur ]] [aeiou]+ -> y u r "},
      {310, u"u", u"", u"uu", u" [[ u ]]  -> y uu "},
  };
  for (const Run& run : runs) {
    for (int i = 0; i < 11; ++i) {
      const RuleRow row = rules_->RuleTable()[static_cast<std::size_t>(run.first) + static_cast<std::size_t>(i)];
      EXPECT_EQ(row, (RuleRow{run.letters.substr(0, 1), eleven[i], run.letters, run.right, run.phonemes}))
          << "row " << run.first + i;
    }
    EXPECT_EQ(rules_->RuleText()[static_cast<std::size_t>(run.first + 11)], run.general);
  }
}

TEST_F(EnglishRules, EndInESWithTheseLeftContexts) {
  const std::u16string_view endings[] = {u"s", u"c", u"g", u"z", u"x", u"j", u"ch", u"sh"};
  for (int i = 0; i < 8; ++i) {
    const RuleRow row = rules_->RuleTable()[91 + static_cast<std::size_t>(i)];
    EXPECT_EQ(row.leftContext, u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*" + std::u16string(endings[i]));
    EXPECT_EQ(row.letters, u"es");
    EXPECT_EQ(row.rightContext, u"$");
    EXPECT_EQ(row.phonemes, u"i z");
  }
}

TEST_F(EnglishRules, AnchorNineWholeWords) {
  std::vector<std::pair<int, std::string>> wholeWords;
  for (int row = 0; row < 349; ++row) {
    const RuleRow rule = rules_->RuleTable()[static_cast<std::size_t>(row)];
    if (rule.leftContext == u"^" && rule.rightContext == u"$") wholeWords.emplace_back(row, Narrow(rule.letters));
  }
  EXPECT_EQ(wholeWords, (std::vector<std::pair<int, std::string>>{{5, "are"},
                                                                  {39, "both"},
                                                                  {58, "do"},
                                                                  {135, "i"},
                                                                  {178, "now"},
                                                                  {261, "the"},
                                                                  {264, "this"},
                                                                  {269, "than"},
                                                                  {270, "them"}}));
}

}  // namespace
}  // namespace vantel::phonetics
