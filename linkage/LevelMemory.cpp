#include "LevelMemory.h"

#include <algorithm>

namespace vantel::linkage {
namespace {

constexpr std::size_t kFirstSlots = std::size_t{1} << 12;

}  // namespace

LevelMemory::LevelMemory(std::size_t values) : values_(values) {
  if (values_ <= kMostTabledValues) table_.assign(values_ * values_, kUnknown);
}

std::size_t LevelMemory::Slot(std::uint64_t key) const noexcept {
  // Fibonacci hashing: the top bits of the product spread neighbouring pairs.
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
}

std::optional<std::uint8_t> LevelMemory::Find(std::uint32_t a, std::uint32_t b) const noexcept {
  if (!table_.empty()) {
    const std::uint8_t level = table_[std::size_t{a} * values_ + b];
    if (level == kUnknown) return std::nullopt;
    return level;
  }
  if (keys_.empty()) return std::nullopt;
  const std::uint64_t key = (std::uint64_t{a} << 32) | b;
  const std::size_t mask = keys_.size() - 1;
  for (std::size_t slot = Slot(key);; slot = (slot + 1) & mask) {
    if (keys_[slot] == key) return levels_[slot];
    if (keys_[slot] == kEmpty) return std::nullopt;
  }
}

void LevelMemory::Remember(std::uint32_t a, std::uint32_t b, std::uint8_t level) {
  if (!table_.empty()) {
    table_[std::size_t{a} * values_ + b] = level;
    return;
  }
  if (held_ >= kMostRemembered) {
    std::fill(keys_.begin(), keys_.end(), kEmpty);
    held_ = 0;
  }
  // Kept at most half full, so that a search ends soon at a free slot.
  if (2 * (held_ + 1) > keys_.size()) Grow();
  const std::uint64_t key = (std::uint64_t{a} << 32) | b;
  const std::size_t mask = keys_.size() - 1;
  std::size_t slot = Slot(key);
  while (keys_[slot] != kEmpty && keys_[slot] != key) slot = (slot + 1) & mask;
  if (keys_[slot] == kEmpty) ++held_;
  keys_[slot] = key;
  levels_[slot] = level;
}

void LevelMemory::Grow() {
  const std::size_t slots = keys_.empty() ? kFirstSlots : keys_.size() * 2;
  std::vector<std::uint64_t> oldKeys(slots, kEmpty);
  std::vector<std::uint8_t> oldLevels(slots, 0);
  oldKeys.swap(keys_);
  oldLevels.swap(levels_);
  shift_ = 64;
  for (std::size_t n = slots; n > 1; n >>= 1) --shift_;
  const std::size_t mask = slots - 1;
  for (std::size_t i = 0; i < oldKeys.size(); ++i) {
    if (oldKeys[i] == kEmpty) continue;
    std::size_t slot = Slot(oldKeys[i]);
    while (keys_[slot] != kEmpty) slot = (slot + 1) & mask;
    keys_[slot] = oldKeys[i];
    levels_[slot] = oldLevels[i];
  }
}

}  // namespace vantel::linkage
