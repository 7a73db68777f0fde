#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "phonetics/RuleSet.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

void Load(RuleSet& rules, const std::vector<std::u16string_view>& source) { rules.StoreRules(source); }

std::int32_t ErrorNumberOf(RuleSet& rules) {
  try {
    rules.CompileRules();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

struct CompileCase {
  std::u16string_view source;
  RuleRow expected;  // key, left, letters, right, phonemes
};

TEST(CompileRules, SplitsEachRuleIntoItsFiveFields) {
  const CompileCase cases[] = {
      {u" [[ a ]] $ -> @ ", {u"a", u"", u"a", u"$", u"@"}},
      {u"^ [[ are ]] $ -> aa r ", {u"a", u"^", u"are", u"$", u"aa r"}},
      {u"[bdvjlmnrw] [[ 's ]]  -> z", {u"'", u"[bdvjlmnrw]", u"'s", u"", u"z"}},
      {u" [[ ' ]]  -> ", {u"'", u"", u"'", u"", u""}},
      {u" [[ a ]] [bcdfghjklmnpqrstvwxyz](er|e|es|ed|ing|ely) -> ei ",
       {u"a", u"", u"a", u"[bcdfghjklmnpqrstvwxyz](er|e|es|ed|ing|ely)", u"ei"}},
      {u" [[ x ]]  ->    ", {u"x", u"", u"x", u"", u""}},                     // spaces only: no phonemes
      {u" [[ x ]]  -> \tk s\t ", {u"x", u"", u"x", u"", u"\tk s\t"}},         // only spaces are trimmed
      {u"a  [[ b c ]]  d ->  p  q ", {u"b", u"a ", u"b c", u" d", u"p  q"}},  // inner spaces stay
      {u" [[ x ]]  -> k -> s", {u"x", u"", u"x", u"", u"k -> s"}},            // the first arrow splits
  };
  for (const CompileCase& c : cases) {
    RuleSet rules;
    Load(rules, {c.source});
    rules.CompileRules();
    EXPECT_EQ(rules.RuleTable()[0], c.expected) << std::string(c.source.begin(), c.source.end());
  }
}

TEST(CompileRules, RefusesRulesWithoutTheirDelimitersInOrder) {
  const std::u16string_view refused[] = {
      u" [[ a ]]  ->",     // no space after the arrow
      u" [[ a ]] $ ",      // no arrow
      u"[[ a ]]  -> a ",   // no space before the opening brackets
      u" [[ a ]  -> a ",   // no closing brackets
      u" [[ a ]] -> a ",   // the arrow shares its space with the brackets
      u" -> a [[ a ]]  ",  // arrow first
      u" ]] a [[  -> a ",  // brackets swapped
      u" [[  ]]  -> a ",   // no letters
      u"",
  };
  for (const std::u16string_view source : refused) {
    RuleSet rules;
    Load(rules, {source});
    EXPECT_EQ(ErrorNumberOf(rules), error::kInvalidProcedureCall) << std::string(source.begin(), source.end());
  }
}

TEST(CompileRules, StopsAtTheFirstBadRuleAndKeepsTheRowsAfterIt) {
  RuleSet rules;
  Load(rules, {u" [[ a ]]  -> a ", u" [[ b ]]  -> b ", u" [[ c ]]  -> c "});
  rules.CompileRules();

  Load(rules, {u" [[ x ]]  -> x ", u" [[ y ]]  ->", u" [[ z ]]  -> z "});
  EXPECT_EQ(ErrorNumberOf(rules), error::kInvalidProcedureCall);
  EXPECT_EQ(rules.RuleTable()[0].letters, u"x");                           // compiled before the failure
  EXPECT_EQ(rules.RuleTable()[1], (RuleRow{u"b", u"", u"b", u"", u"b"}));  // the failing row keeps what it held
  EXPECT_EQ(rules.RuleTable()[2], (RuleRow{u"c", u"", u"c", u"", u"c"}));  // and so does the one after it
  EXPECT_EQ(rules.RuleText()[1], u" [[ y ]]  ->");                         // while the text is the new one

  // A later compile that succeeds takes the new text throughout.
  Load(rules, {u" [[ x ]]  -> x ", u" [[ y ]]  -> y "});
  rules.CompileRules();
  EXPECT_EQ(rules.RuleTable()[1], (RuleRow{u"y", u"", u"y", u"", u"y"}));
  EXPECT_EQ(rules.RuleTable()[2], (RuleRow{u"c", u"", u"c", u"", u"c"}));  // beyond RuleCount, never written
}

TEST(CompileRules, CompilesOnlyRowsUpToRuleCount) {
  RuleSet rules;
  Load(rules, {u" [[ a ]]  -> a ", u" [[ b ]]  -> b "});
  Load(rules, {u" [[ c ]]  -> c "});  // RuleCount 0; row 1 still holds the b rule's text
  rules.CompileRules();
  EXPECT_EQ(rules.RuleText()[1], u" [[ b ]]  -> b ");
  EXPECT_EQ(rules.RuleTable()[0].letters, u"c");
  EXPECT_EQ(rules.RuleTable()[1], RuleRow{});
}

TEST(CompileRules, IsRepeatable) {
  RuleSet once, twice;
  once.LoadEnglishRules();
  once.CompileRules();
  twice.LoadEnglishRules();
  twice.CompileRules();
  twice.LoadEnglishRules();
  twice.CompileRules();
  EXPECT_EQ(once.RuleCount(), twice.RuleCount());
  for (std::size_t row = 0; row < kRuleRows; ++row) {
    EXPECT_EQ(once.RuleText()[row], twice.RuleText()[row]) << row;
    EXPECT_EQ(once.RuleTable()[row], twice.RuleTable()[row]) << row;
  }
}

// A store that failed past the last row leaves RuleCount there; compiling
// then does every row of the table and refuses the one beyond.
TEST(CompileRules, RefusesARuleCountPastTheLastRow) {
  RuleSet rules;
  const std::vector<std::u16string_view> source(502, u" [[ a ]]  -> a ");
  EXPECT_THROW(rules.StoreRules(source), RuntimeError);
  EXPECT_EQ(rules.RuleCount(), 501);
  EXPECT_EQ(ErrorNumberOf(rules), error::kSubscriptOutOfRange);
  EXPECT_EQ(rules.RuleTable()[500].letters, u"a");  // every row within the table was compiled
}

TEST(StoreRules, FillsFromRowZeroAndRefusesMoreThan501Rules) {
  std::vector<std::u16string_view> source(501, u" [[ a ]]  -> a ");
  RuleSet rules;
  rules.StoreRules(source);
  EXPECT_EQ(rules.RuleCount(), 500);

  source.push_back(u" [[ b ]]  -> b ");
  try {
    rules.StoreRules(source);
    FAIL() << "stored a 502nd rule";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), error::kSubscriptOutOfRange);
  }

  rules.StoreRules(std::vector<std::u16string_view>{u" [[ c ]]  -> c "});
  EXPECT_EQ(rules.RuleCount(), 0);
  EXPECT_EQ(rules.RuleText()[0], u" [[ c ]]  -> c ");
}

}  // namespace
}  // namespace vantel::phonetics
