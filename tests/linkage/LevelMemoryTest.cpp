// The comparer's memory of levels against a plain map: what it finds is
// what was remembered for that ordered pair, in the table of every pair and
// in the hash table as it grows and when it is emptied at its most.
#include "linkage/LevelMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <utility>

namespace vantel::linkage {
namespace {

std::uint64_t Next(std::uint64_t& state) {
  state = state * 6364136223846793005ull + 1442695040888963407ull;
  return state >> 33;
}

TEST(LevelMemory, FindsWhatWasRememberedForEachOrderedPair) {
  for (const std::size_t values : {std::size_t{1}, std::size_t{300}, LevelMemory::kMostTabledValues,
                                   LevelMemory::kMostTabledValues + 1, std::size_t{5000000}}) {
    LevelMemory memory(values);
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint8_t> reference;
    std::uint64_t state = values;
    for (int step = 0; step < 60000; ++step) {
      const auto a = static_cast<std::uint32_t>(Next(state) % values);
      const auto b = static_cast<std::uint32_t>(Next(state) % values);
      const auto found = memory.Find(a, b);
      const auto expected = reference.find({a, b});
      ASSERT_EQ(found.has_value(), expected != reference.end()) << values << ": " << a << ", " << b;
      if (found) {
        ASSERT_EQ(*found, expected->second) << values << ": " << a << ", " << b;
        continue;
      }
      const auto level = static_cast<std::uint8_t>(Next(state) % 9);
      memory.Remember(a, b, level);
      reference[{a, b}] = level;
    }
    // (a, b) and (b, a) are two pairs: a comparison need not be symmetric.
    if (values > 1) {
      LevelMemory pairs(values);
      pairs.Remember(0, 1, 3);
      EXPECT_FALSE(pairs.Find(1, 0).has_value()) << values;
      EXPECT_EQ(pairs.Find(0, 1), std::optional<std::uint8_t>(3)) << values;
    }
  }
}

TEST(LevelMemory, EmptiedAtItsMostItStillNeverAnswersWrong) {
  const std::size_t values = 1u << 20;
  LevelMemory memory(values);
  const auto levelOf = [](std::uint32_t a, std::uint32_t b) { return static_cast<std::uint8_t>((a * 7 + b) % 11); };
  const std::size_t count = LevelMemory::kMostRemembered + 1000;
  for (std::size_t n = 0; n < count; ++n) {
    const auto a = static_cast<std::uint32_t>(n % values), b = static_cast<std::uint32_t>(n / values);
    memory.Remember(a, b, levelOf(a, b));
  }
  // The latest are held; whatever an earlier pair finds is its own level.
  std::size_t held = 0;
  for (std::size_t n = 0; n < count; n += 97) {
    const auto a = static_cast<std::uint32_t>(n % values), b = static_cast<std::uint32_t>(n / values);
    if (const auto found = memory.Find(a, b)) {
      EXPECT_EQ(*found, levelOf(a, b)) << n;
      ++held;
    }
  }
  EXPECT_GT(held, 0u);
  EXPECT_LT(held, count / 97);  // emptied once, so not all of them
  const auto last = static_cast<std::uint32_t>((count - 1) % values);
  const auto lastB = static_cast<std::uint32_t>((count - 1) / values);
  EXPECT_EQ(memory.Find(last, lastB), std::optional<std::uint8_t>(levelOf(last, lastB)));
}

}  // namespace
}  // namespace vantel::linkage
