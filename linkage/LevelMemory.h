// The levels a comparer has worked out for ordered pairs of a field's
// values. Few values (a field of a few thousand distinct names) get a table
// of every pair, one byte each; more get an open-addressing hash table that
// is emptied when it holds its most. Either way a look-up is one or two
// reads of flat memory: among candidate pairs the same two surnames meet
// again and again, and finding their level again must cost far less than
// comparing them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vantel::linkage {

class LevelMemory {
 public:
  // For a field of `values` values (own and those only a swap column holds).
  explicit LevelMemory(std::size_t values);

  std::optional<std::uint8_t> Find(std::uint32_t a, std::uint32_t b) const noexcept;
  void Remember(std::uint32_t a, std::uint32_t b, std::uint8_t level);

  // The most pairs the table holds before it is emptied, and the most values
  // for which every pair has its place.
  static constexpr std::size_t kMostRemembered = std::size_t{1} << 22;
  static constexpr std::size_t kMostTabledValues = 2048;

 private:
  static constexpr std::uint8_t kUnknown = 0xFF;  // never a level a name field gives
  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};

  std::size_t Slot(std::uint64_t key) const noexcept;
  void Grow();

  std::size_t values_;
  std::vector<std::uint8_t> table_;  // [a * values_ + b], when values_ <= kMostTabledValues
  std::vector<std::uint64_t> keys_;  // the hash table otherwise: (a << 32 | b), kEmpty for a free slot
  std::vector<std::uint8_t> levels_;
  std::size_t held_ = 0;
  unsigned shift_ = 64;
};

}  // namespace vantel::linkage
