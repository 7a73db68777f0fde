// Rule sets whose text is the built-in English rules share one set of
// automata, built once in the process; every other text gets automata of
// its own. What is shared can be seen only through the identity of the
// automata, never through an answer.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "phonetics/CompiledRules.h"
#include "phonetics/EnglishRules.h"
#include "phonetics/RuleSet.h"
#include "phonetics/Transcriber.h"
#include "vantel/CompareUS.h"

namespace vantel::phonetics {
namespace {

RuleSet Compiled(std::span<const std::u16string_view> source) {
  RuleSet rules;
  rules.StoreRules(source);
  rules.CompileRules();
  return rules;
}

std::string Transcribe(const RuleSet& rules, std::u16string_view word) {
  std::u16string form;
  TranscribeWord(rules, word, form);
  return std::string(form.begin(), form.end());
}

// The English rules with rule `row` replaced by `replacement`.
std::vector<std::u16string_view> EnglishWith(std::size_t row, std::u16string_view replacement) {
  std::vector<std::u16string_view> rules(EnglishRules().begin(), EnglishRules().end());
  rules[row] = replacement;
  return rules;
}

TEST(RuleSharing, RuleSetsOfTheEnglishTextShareTheirAutomata) {
  RuleSet first, second;
  first.LoadEnglishRules();
  first.CompileRules();
  second.LoadEnglishRules();
  second.CompileRules();
  EXPECT_EQ(&first.compiled(), &second.compiled());
  // The same text stored from elsewhere is the same key.
  const std::vector<std::u16string> copies(EnglishRules().begin(), EnglishRules().end());
  const std::vector<std::u16string_view> views(copies.begin(), copies.end());
  EXPECT_EQ(&Compiled(views).compiled(), &first.compiled());
  // Each still owns its text and table.
  EXPECT_NE(first.RuleText()[0].data(), second.RuleText()[0].data());
  EXPECT_NE(first.RuleTable()[0].letters.data(), second.RuleTable()[0].letters.data());
}

TEST(RuleSharing, AnyOtherTextGetsAutomataOfItsOwn) {
  RuleSet english;
  english.LoadEnglishRules();
  english.CompileRules();
  ASSERT_EQ(EnglishRules()[53], u" [[ c ]]  -> k ");
  const std::vector<std::u16string_view> changed = EnglishWith(53, u" [[ c ]]  -> q ");
  const RuleSet other = Compiled(changed);
  EXPECT_NE(&other.compiled(), &english.compiled());
  EXPECT_EQ(Transcribe(other, u"cat"), "qat");
  EXPECT_EQ(Transcribe(english, u"cat"), "kat");

  // One rule more, or one fewer, is another text too.
  std::vector<std::u16string_view> longer(EnglishRules().begin(), EnglishRules().end());
  longer.push_back(u" [[ c ]]  -> never ");
  EXPECT_NE(&Compiled(longer).compiled(), &english.compiled());
  const std::vector<std::u16string_view> shorter(EnglishRules().begin(), EnglishRules().end() - 1);
  const RuleSet withoutZ = Compiled(shorter);
  EXPECT_NE(&withoutZ.compiled(), &english.compiled());
  EXPECT_EQ(Transcribe(withoutZ, u"zoo"), "zuu");  // no rule for z: it stands for itself
}

TEST(RuleSharing, EveryCompileChecksTheTextAgain) {
  RuleSet rules;
  rules.LoadEnglishRules();
  rules.CompileRules();
  const CompiledRules* shared = &rules.compiled();
  const std::vector<std::u16string_view> changed = EnglishWith(53, u" [[ c ]]  -> q ");
  rules.StoreRules(changed);
  rules.CompileRules();
  EXPECT_NE(&rules.compiled(), shared);
  EXPECT_EQ(Transcribe(rules, u"cat"), "qat");
  rules.LoadEnglishRules();
  rules.CompileRules();
  EXPECT_EQ(&rules.compiled(), shared);
  EXPECT_EQ(Transcribe(rules, u"cat"), "kat");
  // A compile that fails leaves no rule applying, shared or not.
  rules.StoreRules(EnglishWith(5, u"no delimiters"));
  EXPECT_THROW(rules.CompileRules(), RuntimeError);
  EXPECT_NE(&rules.compiled(), shared);
  EXPECT_EQ(Transcribe(rules, u"cat"), "cat");
}

TEST(RuleSharing, ObjectsCreatedOnManyThreadsAtOnceAnswerAlike) {
  constexpr int kThreads = 8;
  std::vector<double> answers(kThreads);
  std::vector<std::u16string> forms(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([t, &answers, &forms] {
        CompareUS comparer;
        answers[static_cast<std::size_t>(t)] = comparer.Compare(u"Catherine", u"Kathryn", 2);
        forms[static_cast<std::size_t>(t)] = comparer.PhoneticForm(u"knight");
      });
    }
  }
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(answers[static_cast<std::size_t>(t)], 56.25);
    EXPECT_EQ(forms[static_cast<std::size_t>(t)], u"nait");
  }
}

}  // namespace
}  // namespace vantel::phonetics
