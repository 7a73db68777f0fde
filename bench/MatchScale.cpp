// De-duplicates one list of names with the bulk matcher and reports what it
// cost: preparation and run time, CPU time, pairs per second per core, the
// share of pairs that the vector scan let through to the exact bound and
// that reached the scorer, and the peak memory of the process. Used by
// bench/match-scale.sh on generated lists (tools/generate_names.py).
//
// Usage: vantel_match_scale [--method N] [--threshold T] [--top K] [--threads N]
//                           [--instructions best|portable|sse2|avx2|avx512] [--pairs FILE] NAMES
// With --pairs it writes each kept pair as "query<TAB>candidate<TAB>answer",
// line numbers counted from 1, in the matcher's order.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

[[noreturn]] void Usage(const std::string& problem) {
  std::cerr << "vantel_match_scale: " << problem
            << "\nusage: vantel_match_scale [--method N] [--threshold T] [--top K] [--threads N]"
               " [--instructions SET] [--pairs FILE] NAMES\n";
  std::exit(2);
}

vantel::InstructionSet ParseSet(std::string_view name) {
  for (const vantel::InstructionSet set :
       {vantel::InstructionSet::Best, vantel::InstructionSet::Portable, vantel::InstructionSet::Sse2,
        vantel::InstructionSet::Avx2, vantel::InstructionSet::Avx512}) {
    if (name == vantel::NameOf(set)) return set;
  }
  Usage("unknown instruction set " + std::string(name));
}

}  // namespace

int main(int argc, char** argv) {
  vantel::MatchOptions options;
  options.threshold = 85;
  std::string namesPath;
  std::string pairsPath;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(std::string(argument) + " needs a value");
      return argv[++i];
    };
    if (argument == "--method") {
      options.method = static_cast<std::int16_t>(std::stoi(value()));
    } else if (argument == "--threshold") {
      options.threshold = std::stod(value());
    } else if (argument == "--top") {
      options.top = std::stoul(value());
    } else if (argument == "--threads") {
      options.threads = static_cast<unsigned>(std::stoul(value()));
    } else if (argument == "--instructions") {
      options.instructionSet = ParseSet(value());
    } else if (argument == "--pairs") {
      pairsPath = value();
    } else if (namesPath.empty() && !argument.starts_with("--")) {
      namesPath = argument;
    } else {
      Usage("unexpected argument " + std::string(argument));
    }
  }
  if (namesPath.empty()) Usage("no list of names");

  std::ifstream in(namesPath, std::ios::binary);
  if (!in) Usage("cannot read " + namesPath);
  std::vector<std::u16string> names;
  for (std::string line; std::getline(in, line);) names.push_back(vantel::Utf8ToUtf16(line));

  const auto started = std::chrono::steady_clock::now();
  const double cpuAtStart = CpuSeconds();
  const vantel::Matcher matcher(names, options);
  const double prepared = Since(started);
  const double cpuPrepared = CpuSeconds() - cpuAtStart;

  std::ofstream pairs;
  if (!pairsPath.empty()) {
    pairs.open(pairsPath, std::ios::binary);
    if (!pairs) Usage("cannot write " + pairsPath);
  }
  std::uint64_t kept = 0;
  const auto runStarted = std::chrono::steady_clock::now();
  const double cpuAtRun = CpuSeconds();
  matcher.Run([&](const vantel::ScoredPair& pair) {
    ++kept;
    if (pairs.is_open()) pairs << pair.query + 1 << '\t' << pair.candidate + 1 << '\t' << pair.answer << '\n';
  });
  const double run = Since(runStarted);
  const double cpuRun = CpuSeconds() - cpuAtRun;
  if (pairs.is_open() && !pairs.flush()) Usage("cannot write " + pairsPath);

  const vantel::Matcher::Counts counts = matcher.counts();
  const auto share = [&](std::uint64_t part) {
    return counts.considered == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(counts.considered);
  };
  std::printf(
      "names=%zu method=%d threads=%u instructions=%s pairs=%llu kept=%llu prepare_s=%.2f prepare_cpu_s=%.2f "
      "run_s=%.2f run_cpu_s=%.2f pairs_per_core_s=%.3g bounded_share=%.3g scored_share=%.3g peak_kb=%ld\n",
      names.size(), options.method, options.threads,
      vantel::NameOf(options.instructionSet == vantel::InstructionSet::Best ? vantel::SupportedInstructionSets().back()
                                                                            : options.instructionSet),
      static_cast<unsigned long long>(counts.considered), static_cast<unsigned long long>(kept), prepared, cpuPrepared,
      run, cpuRun, cpuRun > 0 ? static_cast<double>(counts.considered) / cpuRun : 0.0, share(counts.bounded),
      share(counts.scored), PeakKilobytes());
  return 0;
}
