// Bulk matching against Compare called pair by pair, on the same lists of
// 2,000 by 2,000 names, threshold 85, and the matcher with each instruction
// set the processor runs. After the runs it prints how many times the
// matcher's pairs per second exceed Compare's, and how the matcher scales
// with threads. Run: build/bench/vantel_match_bench (bench/match-scale.sh
// measures whole lists of up to a million names).
//
// Compare pair by pair is timed on the first rows of the lists only (every
// row costs the same on average); the matcher runs on all of them, its
// preparation (the phonetic form of every distinct name) included.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/NameLists.h"
#include "vantel/CompareUS.h"
#include "vantel/Match.h"

namespace vantel::bench {
namespace {

constexpr std::int64_t kListSize = 2000;
constexpr double kThreshold = 85;
constexpr std::int64_t kComparedRows = 50;

const std::vector<std::u16string>& Queries() {
  static const auto names = NameList(1, static_cast<std::size_t>(kListSize));
  return names;
}
const std::vector<std::u16string>& Candidates() {
  static const auto names = NameList(2, static_cast<std::size_t>(kListSize));
  return names;
}

void ComparePairByPair(benchmark::State& state) {
  const auto method = static_cast<std::int16_t>(state.range(0));
  CompareUS comparer;
  comparer.InitVT();
  std::size_t kept = 0;
  for (auto _ : state) {
    for (std::size_t q = 0; q < static_cast<std::size_t>(kComparedRows); ++q) {
      for (const std::u16string& candidate : Candidates())
        kept += comparer.Compare(Queries()[q], candidate, method) >= kThreshold;
    }
  }
  benchmark::DoNotOptimize(kept);
  state.SetItemsProcessed(state.iterations() * kComparedRows * kListSize);
}

void MatchLists(benchmark::State& state) {
  const MatchOptions options{.method = static_cast<std::int16_t>(state.range(0)),
                             .threshold = kThreshold,
                             .threads = static_cast<unsigned>(state.range(1))};
  std::size_t kept = 0;
  for (auto _ : state) {
    const Matcher matcher(Queries(), Candidates(), options);
    kept += matcher.Run().size();
  }
  state.counters["kept"] = static_cast<double>(kept) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kListSize * kListSize);
}

// The matcher on one thread with each vector scan the processor runs.
void MatchWithInstructions(benchmark::State& state, std::int16_t method, InstructionSet set) {
  const std::vector<InstructionSet> supported = SupportedInstructionSets();
  if (std::find(supported.begin(), supported.end(), set) == supported.end()) {
    state.SkipWithError("the processor lacks these instructions");
    return;
  }
  const MatchOptions options{.method = method, .threshold = kThreshold, .threads = 1, .instructionSet = set};
  std::size_t kept = 0;
  for (auto _ : state) {
    const Matcher matcher(Queries(), Candidates(), options);
    kept += matcher.Run().size();
  }
  state.counters["kept"] = static_cast<double>(kept) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kListSize * kListSize);
}

#define VANTEL_MATCH_WITH(method, set)                                                                \
  BENCHMARK_CAPTURE(MatchWithInstructions, method##_##set, std::int16_t{method}, InstructionSet::set) \
      ->UseRealTime()                                                                                 \
      ->Unit(benchmark::kMillisecond)
VANTEL_MATCH_WITH(0, Portable);
VANTEL_MATCH_WITH(0, Sse2);
VANTEL_MATCH_WITH(0, Avx2);
VANTEL_MATCH_WITH(0, Avx512);
VANTEL_MATCH_WITH(99, Portable);
VANTEL_MATCH_WITH(99, Sse2);
VANTEL_MATCH_WITH(99, Avx2);
VANTEL_MATCH_WITH(99, Avx512);

BENCHMARK(ComparePairByPair)->ArgName("method")->Arg(0)->Arg(99)->Unit(benchmark::kMillisecond);
BENCHMARK(MatchLists)
    ->ArgNames({"method", "threads"})
    ->ArgsProduct({{0, 99}, {1, 2}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Keeps each run's pairs per second for the summary.
class ThroughputReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      if (const auto rate = run.counters.find("items_per_second"); rate != run.counters.end()) {
        pairsPerSecond_[run.benchmark_name()] = rate->second.value;
      }
    }
  }

  void PrintSummary() const {
    for (const char* method : {"0", "99"}) {
      const double compare = Find(std::string("ComparePairByPair/method:") + method);
      const double one = Find(std::string("MatchLists/method:") + method + "/threads:1/real_time");
      const double two = Find(std::string("MatchLists/method:") + method + "/threads:2/real_time");
      if (compare > 0 && one > 0) {
        std::printf("method %s: matcher on 1 thread %.3g pairs/s, Compare pair by pair %.3g pairs/s: %.1f times\n",
                    method, one, compare, one / compare);
      }
      if (one > 0 && two > 0) std::printf("method %s: 2 threads / 1 thread: %.2f\n", method, two / one);
    }
  }

 private:
  double Find(const std::string& name) const {
    const auto found = pairsPerSecond_.find(name);
    return found == pairsPerSecond_.end() ? 0.0 : found->second;
  }
  std::map<std::string, double> pairsPerSecond_;
};

}  // namespace
}  // namespace vantel::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  vantel::bench::ThroughputReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
