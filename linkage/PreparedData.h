// What PreparedField keeps of each value, shared by the comparer and the
// model within the linkage layer.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "vantel/Comparisons.h"

namespace vantel {

struct PreparedField::Data {
  // Which prepared field this is, for the memories of comparers: a field
  // made where another was freed may have its address, never its serial.
  std::uint64_t serial = NextSerial();
  FieldComparison comparison;
  std::vector<std::uint32_t> valueOfRecord;  // kNoValue when missing or unreadable
  std::vector<std::uint8_t> unreadable;      // per record
  std::size_t unreadableCount = 0;
  // The field's own values come first; those only its swap column holds follow.
  std::size_t ownValues = 0;
  std::vector<std::uint32_t> recordsWith;        // per own value
  std::vector<std::uint32_t> firstRecord;        // per own value
  std::vector<std::string> keys;                 // per value: the normalised text that made it one value
  std::vector<std::uint32_t> swapValueOfRecord;  // name with swap: the value of the swap column, or kNoValue
  // Name and text: the value as first met (trimmed) and its phonetic form.
  std::vector<std::u16string> texts;
  std::vector<std::u16string> forms;
  NameOptions names;  // the forms of names that the field compares
  // Name with the level alias: each value's alias forms, case folded, sorted.
  std::vector<std::vector<std::u16string>> aliasForms;
  // Name with the level initials: the text whose words are compared.
  std::vector<std::u16string> wordTexts;
  // Name and text with the level one-edit: each value's text, case folded.
  std::vector<std::u16string> foldedTexts;
  std::vector<std::uint32_t> dates;       // date: YYYYMMDD as a number
  std::vector<std::uint32_t> localParts;  // email: the number of the part before the @

  static std::uint64_t NextSerial() noexcept {
    static std::atomic<std::uint64_t> next{0};
    return next.fetch_add(1, std::memory_order_relaxed);
  }
};

}  // namespace vantel
