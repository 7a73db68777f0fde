// Cost of the context tests as the rule matcher makes them: for every
// position of a name, every rule whose key is the character there has its
// left context tested at the end of the consumed text and its right context
// just after its letters in the remaining text.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "phonetics/EnglishRules.h"
#include "phonetics/Pattern.h"

namespace vantel::phonetics {
namespace {

struct RuleContexts {
  char16_t key;
  std::u16string_view left;
  std::u16string_view letters;
  std::u16string_view right;
};

std::vector<RuleContexts> SplitRules() {
  std::vector<RuleContexts> rules;
  for (const std::u16string_view rule : EnglishRules()) {
    const std::size_t open = rule.find(u" [[ ");
    const std::size_t close = rule.find(u" ]] ", open + 4);
    const std::size_t arrow = rule.find(u" -> ", close + 4);
    const std::u16string_view letters = rule.substr(open + 4, close - open - 4);
    rules.push_back({letters.front(), rule.substr(0, open), letters, rule.substr(close + 4, arrow - close - 4)});
  }
  return rules;
}

constexpr std::u16string_view kNames[] = {
    u"smith",    u"johnson",  u"williams", u"brown",  u"jones", u"garcia",   u"miller", u"davis",
    u"wilson",   u"anderson", u"thomas",   u"taylor", u"moore", u"jackson",  u"martin", u"lee",
    u"thompson", u"white",    u"harris",   u"clark",  u"lewis", u"robinson", u"walker", u"young",
    u"allen",    u"king",     u"wright",   u"scott",  u"hill",  u"green",    u"adams",  u"baker",
};

// One context test: the pattern, the subject and the offset it is tested at.
struct Probe {
  const Pattern* pattern;
  std::u16string_view subject;
  std::size_t at;
};

struct Workload {
  std::vector<Pattern> left;
  std::vector<Pattern> right;
  std::vector<Probe> leftProbes;
  std::vector<Probe> rightProbes;

  Workload() {
    const std::vector<RuleContexts> rules = SplitRules();
    for (const RuleContexts& rule : rules) {
      left.push_back(*Pattern::Compile(rule.left));
      right.push_back(*Pattern::Compile(rule.right));
    }
    for (const std::u16string_view name : kNames) {
      for (std::size_t p = 0; p < name.size(); ++p) {
        const std::u16string_view remaining = name.substr(p);
        for (std::size_t r = 0; r < rules.size(); ++r) {
          if (rules[r].key != name[p]) continue;
          leftProbes.push_back({&left[r], name.substr(0, p), p});
          if (remaining.starts_with(rules[r].letters)) {
            rightProbes.push_back({&right[r], remaining, rules[r].letters.size()});
          }
        }
      }
    }
  }
};

const Workload& SharedWorkload() {
  static const Workload workload;
  return workload;
}

void BM_LeftContextMatchesEndingAt(benchmark::State& state) {
  const Workload& work = SharedWorkload();
  for (auto _ : state) {
    for (const Probe& probe : work.leftProbes) {
      benchmark::DoNotOptimize(probe.pattern->MatchesEndingAt(probe.subject, probe.at));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(work.leftProbes.size()));
}
BENCHMARK(BM_LeftContextMatchesEndingAt);

void BM_RightContextMatchesAt(benchmark::State& state) {
  const Workload& work = SharedWorkload();
  for (auto _ : state) {
    for (const Probe& probe : work.rightProbes) {
      benchmark::DoNotOptimize(probe.pattern->MatchesAt(probe.subject, probe.at));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(work.rightProbes.size()));
}
BENCHMARK(BM_RightContextMatchesAt);

void BM_SearchComposedLeftContext(benchmark::State& state) {
  std::vector<Pattern> composed;
  for (const RuleContexts& rule : SplitRules()) composed.push_back(*Pattern::Compile(std::u16string(rule.left) + u"$"));
  const std::u16string_view subject = u"thomps";
  for (auto _ : state) {
    for (const Pattern& pattern : composed) benchmark::DoNotOptimize(pattern.Search(subject));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(composed.size()));
}
BENCHMARK(BM_SearchComposedLeftContext);

// Every left and right context of the rule set, as one rule-set compile does.
void BM_CompileAllRuleContexts(benchmark::State& state) {
  const std::vector<RuleContexts> rules = SplitRules();
  for (auto _ : state) {
    for (const RuleContexts& rule : rules) {
      benchmark::DoNotOptimize(Pattern::Compile(rule.left));
      benchmark::DoNotOptimize(Pattern::Compile(rule.right));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rules.size() * 2));
}
BENCHMARK(BM_CompileAllRuleContexts)->Unit(benchmark::kMicrosecond);

// A pattern whose forward automaton exceeds the cap, on a long subject.
void BM_SimulationFallback(benchmark::State& state) {
  const Pattern pattern = *Pattern::Compile(u"[ab]*a[ab][ab][ab][ab][ab][ab][ab][ab][ab][ab]c");
  std::u16string subject;
  for (int i = 0; i < 64; ++i) subject += (i % 3 == 0) ? u'b' : u'a';
  for (auto _ : state) benchmark::DoNotOptimize(pattern.MatchesAt(subject, 0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(subject.size()));
}
BENCHMARK(BM_SimulationFallback);

}  // namespace
}  // namespace vantel::phonetics
