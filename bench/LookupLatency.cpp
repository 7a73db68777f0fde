// One query at a time against a long list prepared once, in this process:
// the latency of each lookup (p50, p99, mean) and where the work went (pairs
// bounded, pairs scored), without HTTP in the way. The list and the queries
// are UTF-8 text files, a string a line.
//
// Usage: vantel_lookup_latency LIST QUERIES [METHOD THRESHOLD TOP]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace {

std::vector<std::u16string> ReadLines(const char* path) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "vantel_lookup_latency: cannot read %s\n", path);
    std::exit(1);
  }
  std::vector<std::u16string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(vantel::Utf8ToUtf16(line));
  return lines;
}

double Seconds(std::chrono::steady_clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 6) {
    std::fprintf(stderr, "usage: vantel_lookup_latency LIST QUERIES [METHOD THRESHOLD TOP]\n");
    return 2;
  }
  vantel::MatchOptions options{.method = 2, .threshold = 75, .top = 3, .threads = 1};
  if (argc == 6) {
    options.method = static_cast<std::int16_t>(std::atoi(argv[3]));
    options.threshold = std::atof(argv[4]);
    options.top = static_cast<std::size_t>(std::atoi(argv[5]));
  }
  const std::vector<std::u16string> list = ReadLines(argv[1]);
  const std::vector<std::u16string> queries = ReadLines(argv[2]);
  if (queries.empty()) return 0;

  auto start = std::chrono::steady_clock::now();
  const auto prepared = std::make_shared<const vantel::PreparedCandidates>(list, vantel::MatchOptions{.threads = 0});
  std::printf("prepared %zu strings in %.2f s\n", list.size(), Seconds(std::chrono::steady_clock::now() - start));
  start = std::chrono::steady_clock::now();
  (void)vantel::Matcher({queries.front()}, prepared, options).Run();  // lays the method's scan out
  std::printf("first lookup %.2f s\n", Seconds(std::chrono::steady_clock::now() - start));

  std::vector<double> latencies;
  vantel::Matcher::Counts total;
  std::size_t pairs = 0;
  for (const std::u16string& query : queries) {
    start = std::chrono::steady_clock::now();
    const vantel::Matcher matcher({query}, prepared, options);
    pairs += matcher.Run().size();
    latencies.push_back(Seconds(std::chrono::steady_clock::now() - start) * 1e3);
    const vantel::Matcher::Counts counts = matcher.counts();
    total.bounded += counts.bounded;
    total.scored += counts.scored;
  }
  std::vector<double> sorted = latencies;
  std::sort(sorted.begin(), sorted.end());
  double sum = 0;
  for (const double latency : latencies) sum += latency;
  const auto at = [&](double share) { return sorted[static_cast<std::size_t>(share * double(sorted.size() - 1))]; };
  std::printf("%zu lookups, method %d, threshold %g, top %zu: p50 %.3f ms, p99 %.3f ms, mean %.3f ms\n", queries.size(),
              options.method, options.threshold, options.top, at(0.5), at(0.99), sum / double(queries.size()));
  std::printf("per lookup: %.0f pairs bounded one by one, %.0f scored, %.2f kept\n",
              double(total.bounded) / double(queries.size()), double(total.scored) / double(queries.size()),
              double(pairs) / double(queries.size()));
  return 0;
}
