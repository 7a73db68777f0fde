#include "phonetics/Transcriber.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "phonetics/RuleMatcher.h"
#include "phonetics/RuleSet.h"
#include "tests/phonetics/EnglishRuleSet.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

class Transcriber : public WithEnglishRules {
 protected:
  static std::u16string Transcribe(std::u16string_view word) {
    std::u16string form = u"left over";
    TranscribeWord(*rules_, word, form);
    return form;
  }
};

TEST_F(Transcriber, MatchRuleFindsTheFirstApplicableRule) {
  struct Case {
    std::u16string_view consumed, remaining, phonemes;
    std::size_t letterCount;
  } const cases[] = {
      {u"", u"cat", u"k", 1},    {u"", u"are", u"aa r", 3},  // "^" holds at the first position
      {u"c", u"are", u"e r", 2},                             // ...and nowhere else
      {u"bal", u"l", u"", 1},                                // silent after an l
      {u"labe", u"l", u"l", 1},                              // the l at the start is not just before
      {u"m", u"y", u"ai", 1},    {u"", u"aRe", u"aa r", 3},  // further letters ignore case
      {u"", u"Cat", u"C", 1},                                // no key is upper-case
      {u"r", u"2d2", u"2", 1},   {u"x", u" y", u" ", 1},    {u"", u"-", u"-", 1}, {u"", u"\u00e9t\u00e9", u"\u00e9", 1},
      {u"cat", u"", u"", 1},     {u"BAL", u"l", u"", 1},  // contexts ignore case too
      {u"", u"the", u"dh @", 3}, {u"", u"thE", u"dh @", 3},
  };
  for (const Case& c : cases) {
    const RuleMatch match = MatchRule(*rules_, c.consumed, c.remaining);
    EXPECT_EQ(Narrow(match.phonemes), Narrow(c.phonemes)) << Narrow(c.consumed) << "|" << Narrow(c.remaining);
    EXPECT_EQ(match.letterCount, c.letterCount) << Narrow(c.consumed) << "|" << Narrow(c.remaining);
  }
}

TEST_F(Transcriber, TranscribesWords) {
  struct Case {
    std::u16string_view word, form;
  } const cases[] = {
      {u"", u""},
      {u"cat", u"kat"},
      {u"Cat", u"Cat"},
      {u"CAT", u"CAT"},
      {u"are", u"aa r"},
      {u"care", u"ke r"},
      {u"bake", u"beik"},
      {u"ball", u"boo l"},
      {u"label", u"leibel"},
      {u"by", u"bai"},
      {u"my", u"mai"},
      {u"phone", u"foun"},
      {u"x y", u"k s i"},
      {u"r2d2", u"r2d2"},
      {u"it's", u"its"},
      {u"the", u"dh @"},
      {u"knight", u"nait"},
      {u"cake", u"keik"},
      {u"whole", u"h ou l"},
      {u"judge", u"jhuhdjh"},
      {u"o'neil", u"aaniil"},
      {u"x-ray", u"k s-rei"},
      {u"kat", u"kat"},
      {u"\u0142\u00f3d\u017a", u"\u0142\u00f3d\u017a"},
  };
  for (const Case& c : cases) EXPECT_EQ(Narrow(Transcribe(c.word)), Narrow(c.form)) << Narrow(c.word);
}

TEST(MatchRule, RefusesAContextOutsideThePatternDialectWhenItReachesTheRow) {
  RuleSet rules;
  const std::u16string_view source[] = {u" [[ b ]] x -> b ", u" [[ a ]] [a-z] -> a ", u" [[ a ]]  -> a "};
  rules.StoreRules(source);
  rules.CompileRules();  // nothing is refused while compiling
  std::u16string form;
  TranscribeWord(rules, u"bbb", form);
  EXPECT_EQ(Narrow(form), "bbb");
  try {
    TranscribeWord(rules, u"ba", form);
    FAIL() << "a rule with a range was used";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), error::kRegexSyntax);
    EXPECT_EQ(e.description(), "Syntax error in regular expression");
  }
}

TEST(MatchRule, TriesRowsInOrderEvenWhenKeysInterleave) {
  RuleSet rules;
  const std::u16string_view source[] = {u" [[ ab ]]  -> 1 ", u" [[ b ]]  -> 2 ", u" [[ a ]]  -> 3 ",
                                        u" [[ ab ]]  -> 4 "};
  rules.StoreRules(source);
  rules.CompileRules();
  std::u16string form;
  TranscribeWord(rules, u"abaB", form);
  EXPECT_EQ(Narrow(form), "11");
  TranscribeWord(rules, u"bA", form);
  EXPECT_EQ(Narrow(form), "2A");
}

// Phonemes longer than the block the transcriber copies at once, and forms
// longer than its buffer, come out whole.
TEST(TranscribeWord, KeepsLongPhonemesAndLongFormsWhole) {
  const std::u16string longPhonemes = u"abcdefghijklmnopqrstuvwxyz0123456789";  // 36 units
  const std::u16string rule = u" [[ a ]]  -> " + longPhonemes;
  const std::u16string_view source[] = {rule, u" [[ b ]]  -> xy ", u" [[ c ]]  -> "};
  RuleSet rules;
  rules.StoreRules(source);
  rules.CompileRules();
  struct Case {
    std::u16string word;
    std::u16string form;
  } cases[] = {{u"a", longPhonemes}, {u"bab", u"xy" + longPhonemes + u"xy"}, {u"", u""}};
  std::u16string manyA, manyB, mixed;
  std::u16string manyAForm, manyBForm, mixedForm;
  for (int i = 0; i < 70; ++i) {
    manyA += u'a';
    manyAForm += longPhonemes;
    manyB += u'b';
    manyBForm += u"xy";
    mixed += (i % 3 == 0) ? u"c" : (i % 3 == 1) ? u"b" : u"d";
    mixedForm += (i % 3 == 0) ? u"" : (i % 3 == 1) ? u"xy" : u"d";
  }
  const Case more[] = {{manyA, manyAForm}, {manyB, manyBForm}, {mixed, mixedForm}};
  for (const auto& list : {std::span<const Case>(cases), std::span<const Case>(more)}) {
    for (const Case& c : list) {
      std::u16string form = u"left over";
      TranscribeWord(rules, c.word, form);
      EXPECT_EQ(Narrow(form), Narrow(c.form)) << Narrow(c.word);
    }
  }
}

}  // namespace
}  // namespace vantel::phonetics
