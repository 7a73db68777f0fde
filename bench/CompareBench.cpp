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

// Strings of 70 characters chosen to make the common-character count work
// hardest: long runs that tie, or many levels of short runs.
std::vector<std::pair<std::u16string, std::u16string>> LongestPairs() {
  std::u16string alternating, shifted, vowels, consonants;
  for (int i = 0; i < 70; ++i) {
    alternating += (i % 2) ? u'a' : u'b';
    shifted += (i % 3) ? u'b' : u'a';
    vowels += u"aeiou"[i % 5];
    consonants += u"xzqjk"[i % 5];
  }
  return {
      {std::u16string(70, u'a'), std::u16string(69, u'a') + u'b'},
      {alternating, shifted},
      {std::u16string(70, u'x'), std::u16string(69, u'x') + u'k'},
      {vowels, consonants},
      {std::u16string(35, u'a') + std::u16string(35, u'b'), std::u16string(35, u'b') + std::u16string(35, u'a')},
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
BENCHMARK(CompareLongestStrings)
    ->ArgsProduct({{99, 2}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMicrosecond);

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
