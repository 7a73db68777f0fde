// The rows of each key in ascending order, so that the matcher only visits
// the rows whose key equals the current character.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "RuleSet.h"

namespace vantel::phonetics {

class KeyIndex {
 public:
  void Rebuild(std::span<const RuleRow> rows);
  std::span<const std::int16_t> RowsFor(char16_t key) const noexcept;

 private:
  struct Group {
    char16_t key;
    std::uint32_t begin;
    std::uint32_t end;
  };
  std::vector<std::int16_t> rows_;  // grouped by key
  std::array<Group, 128> ascii_{};  // groups of ASCII keys, by key
  std::vector<Group> others_;       // groups of other keys, sorted by key
};

}  // namespace vantel::phonetics
