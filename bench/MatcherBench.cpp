// Cost of the rule matcher as the transcriber uses it: the rule that applies
// at every position of a name, found by walking the automata of the key's
// rows; and the cost of building those automata for the English rules.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "phonetics/CompiledRules.h"
#include "phonetics/RuleMatcher.h"
#include "phonetics/RuleSet.h"

namespace vantel::phonetics {
namespace {

constexpr std::u16string_view kNames[] = {
    u"smith",    u"johnson",  u"williams", u"brown",  u"jones", u"garcia",   u"miller", u"davis",
    u"wilson",   u"anderson", u"thomas",   u"taylor", u"moore", u"jackson",  u"martin", u"lee",
    u"thompson", u"white",    u"harris",   u"clark",  u"lewis", u"robinson", u"walker", u"young",
    u"allen",    u"king",     u"wright",   u"scott",  u"hill",  u"green",    u"adams",  u"baker",
};

const RuleSet& EnglishRules() {
  static const RuleSet rules = [] {
    RuleSet english;
    english.LoadEnglishRules();
    english.CompileRules();
    return english;
  }();
  return rules;
}

void BM_MatchRuleAtEveryPosition(benchmark::State& state) {
  const RuleSet& rules = EnglishRules();
  std::int64_t positions = 0;
  for (auto _ : state) {
    for (const std::u16string_view name : kNames) {
      for (std::size_t at = 0; at < name.size(); ++at) {
        benchmark::DoNotOptimize(MatchRule(rules, name.substr(0, at), name.substr(at)));
        ++positions;
      }
    }
  }
  state.SetItemsProcessed(positions);
}
BENCHMARK(BM_MatchRuleAtEveryPosition);

// Parsing every context of the English rules and building the automata of
// all their key groups.
void BM_BuildEnglishAutomata(benchmark::State& state) {
  const RuleSet& rules = EnglishRules();
  std::vector<RuleRow> rows;
  for (std::size_t row = 0; row <= static_cast<std::size_t>(rules.RuleCount()); ++row) {
    rows.push_back(rules.RuleTable()[row]);
  }
  for (auto _ : state) benchmark::DoNotOptimize(CompiledRules::Build(rows));
}
BENCHMARK(BM_BuildEnglishAutomata)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantel::phonetics
