// One query looked up in a long list, as a server answers it: a Matcher over
// the list each time (the phonetic forms looked up in a table made once), or
// over candidates prepared once and shared by every lookup.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/NameLists.h"
#include "vantel/CompareUS.h"
#include "vantel/Match.h"

namespace vantel::bench {
namespace {

constexpr std::size_t kListSize = 100000;
constexpr std::size_t kQueries = 16;

const std::vector<std::u16string>& List() {
  static const std::vector<std::u16string> list = NameList(7, kListSize);
  return list;
}

const std::vector<std::u16string>& Queries() {
  static const std::vector<std::u16string> queries = NameList(8, kQueries);
  return queries;
}

MatchOptions LookupOptions(const benchmark::State& state) {
  return {.method = static_cast<std::int16_t>(state.range(0)), .threshold = 80, .top = 10, .threads = 1};
}

void BM_LookupOverTheList(benchmark::State& state) {
  static const auto forms = [] {
    std::unordered_map<std::u16string, std::u16string> table;
    CompareUS comparer;
    for (const std::u16string& text : List()) {
      if (!text.empty() && text.size() <= CompareUS::kMaxLength) table.emplace(text, comparer.PhoneticForm(text));
    }
    return table;
  }();
  const PhoneticFormFunction knownForm = [](CompareUS& comparer, std::u16string_view text) {
    if (const auto found = forms.find(std::u16string(text)); found != forms.end()) return found->second;
    return comparer.PhoneticForm(text);
  };
  const MatchOptions options = LookupOptions(state);
  std::size_t at = 0;
  for (auto _ : state) {
    const std::vector<std::u16string> query = {Queries()[at++ % kQueries]};
    benchmark::DoNotOptimize(Matcher(query, List(), options, knownForm).Run());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupOverTheList)->Arg(0)->Arg(3)->Arg(99)->Unit(benchmark::kMillisecond);

void BM_LookupOverPreparedCandidates(benchmark::State& state) {
  static const auto prepared = std::make_shared<const PreparedCandidates>(List());
  const MatchOptions options = LookupOptions(state);
  benchmark::DoNotOptimize(Matcher({Queries()[0]}, prepared, options).Run());  // lays the method's scan out
  std::size_t at = 0;
  for (auto _ : state) {
    const std::vector<std::u16string> query = {Queries()[at++ % kQueries]};
    benchmark::DoNotOptimize(Matcher(query, prepared, options).Run());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupOverPreparedCandidates)->Arg(0)->Arg(3)->Arg(99)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantel::bench
