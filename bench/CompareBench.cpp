// Throughput of Compare on name pairs, and its cost on the longest strings it
// accepts. Run: build/bench/vantel_bench
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/NamePairs.h"
#include "vantel/CompareUS.h"

namespace vantel::bench {
namespace {

void CompareNamePairs(benchmark::State& state) {
  const auto method = static_cast<std::int16_t>(state.range(0));
  CompareUS comparer;
  comparer.InitVT();
  std::size_t next = 0;
  for (auto _ : state) {
    const auto& [first, second] = kNamePairs[next];
    benchmark::DoNotOptimize(comparer.Compare(first, second, method));
    next = (next + 1) % std::size(kNamePairs);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CompareNamePairs)->Arg(99)->Arg(2)->Arg(3);

// Pairs of 70-character strings that make the common-character count work
// hardest, found by searching for the slowest pairs: many levels of short runs
// over long phonetic forms ("x" sounds as "k s", "cu" as "ky uu"), or ties
// between long runs.
std::vector<std::pair<std::u16string, std::u16string>> LongestPairs() {
  auto repeat = [](std::u16string_view unit) {
    std::u16string text;
    while (text.size() < 70) text += unit;
    text.resize(70);
    return text;
  };
  std::u16string mostlyX = repeat(u"x");
  for (const auto& [at, letter] : {std::pair{17, u'h'}, {36, u'n'}, {38, u'k'}, {40, u'p'}, {58, u'q'}}) {
    mostlyX[static_cast<std::size_t>(at)] = letter;
  }
  return {
      {mostlyX, repeat(u"cu")},
      {repeat(u"x"), repeat(u"cu")},
      {repeat(u"ug"), repeat(u"cuoughoughough")},
      {std::u16string(70, u'a'), std::u16string(69, u'a') + u'b'},
      {repeat(u"ab"), repeat(u"aab")},
  };
}

void CompareLongestStrings(benchmark::State& state) {
  const auto method = static_cast<std::int16_t>(state.range(0));
  const auto pairs = LongestPairs();
  const auto& [first, second] = pairs[static_cast<std::size_t>(state.range(1))];
  CompareUS comparer;
  comparer.InitVT();
  for (auto _ : state) benchmark::DoNotOptimize(comparer.Compare(first, second, method));
}
BENCHMARK(CompareLongestStrings)->ArgsProduct({{99, 2}, {0, 1, 2, 3, 4}})->Unit(benchmark::kMicrosecond);

void PhoneticFormOfNames(benchmark::State& state) {
  CompareUS comparer;
  comparer.InitVT();
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(comparer.PhoneticForm(kNamePairs[next].first));
    next = (next + 1) % std::size(kNamePairs);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PhoneticFormOfNames);

void InitVT(benchmark::State& state) {
  CompareUS comparer;
  for (auto _ : state) comparer.InitVT();
}
BENCHMARK(InitVT)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantel::bench
