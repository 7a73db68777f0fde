// A fixed amount of work for instruction counts: ROUNDS passes over the name
// pairs, each pair compared with METHOD, or each of its strings given to
// PhoneticForm with "phonetic" in place of a method. Run it under callgrind
// with two numbers of rounds; the difference of the two counts divided by the
// difference of the calls is the cost of one call, start-up left out
// (bench/callgrind-cost.sh does that). Only the public header is used, so the
// same source builds against an older library for a before-and-after figure.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/NamePairs.h"
#include "vantel/CompareUS.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vantel_compare_cost METHOD|phonetic ROUNDS\n");
    return 2;
  }
  const std::string_view what = argv[1];
  const long rounds = std::strtol(argv[2], nullptr, 10);
  const auto method = static_cast<std::int16_t>(std::atoi(argv[1]));
  vantel::CompareUS comparer;
  comparer.InitVT();
  double checksum = 0;
  for (long round = 0; round < rounds; ++round) {
    for (const auto& [first, second] : vantel::bench::kNamePairs) {
      if (what == "phonetic") {
        checksum += static_cast<double>(comparer.PhoneticForm(first).size() + comparer.PhoneticForm(second).size());
      } else {
        checksum += comparer.Compare(first, second, method);
      }
    }
  }
  const long calls = rounds * static_cast<long>(std::size(vantel::bench::kNamePairs)) * (what == "phonetic" ? 2 : 1);
  std::printf("%ld calls, checksum %.2f\n", calls, checksum);
  return 0;
}
