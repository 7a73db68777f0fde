// What a new user pays for an object: 10,000 objects, each created, used for
// one Compare and kept, as an automation client that creates one object per
// row of a sheet does. Prints the time and the heap memory of the first
// object, and the mean of the others. Only the public header is used, so the
// same source builds against an older library for a before-and-after figure.
#include <malloc.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/NamePairs.h"
#include "vantel/CompareUS.h"

namespace {

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
  if (count < 2) return 2;
  std::vector<std::unique_ptr<vantel::CompareUS>> objects;
  objects.reserve(count);
  double checksum = 0;
  const auto useOne = [&](std::size_t i) {
    const auto& [first, second] = vantel::bench::kNamePairs[i % std::size(vantel::bench::kNamePairs)];
    objects.push_back(std::make_unique<vantel::CompareUS>());
    checksum += objects.back()->Compare(first, second, 2);
  };

  using Clock = std::chrono::steady_clock;
  const std::size_t heap0 = HeapInUse();
  const Clock::time_point start = Clock::now();
  useOne(0);
  const Clock::time_point firstDone = Clock::now();
  const std::size_t heap1 = HeapInUse();
  for (std::size_t i = 1; i < count; ++i) useOne(i);
  const Clock::time_point end = Clock::now();
  const std::size_t heap2 = HeapInUse();

  const auto micros = [](Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); };
  const double others = static_cast<double>(count - 1);
  std::printf("first object: %.1f us, %.1f kB\n", micros(firstDone - start), static_cast<double>(heap1 - heap0) / 1024);
  std::printf("%zu more objects: %.2f us and %.2f kB each (checksum %.2f)\n", count - 1,
              micros(end - firstDone) / others, static_cast<double>(heap2 - heap1) / 1024 / others, checksum);
  return 0;
}
