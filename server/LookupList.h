// The list that a server looks names up in: the records as read once at
// start, their strings in UTF-16 and the phonetic form of each distinct one,
// worked out once. It is immutable once built and shared by every request;
// a lookup hands the strings and those forms to the library's Matcher, so
// that every answer is exactly what `vantel match` gives for the same query.
#pragma once

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vantel/Match.h"

namespace vantel::server {

struct LookupRecord {
  std::string id;                   // its id field, or its row or line number
  std::string text;                 // the string matched, UTF-8 as the file has it
  std::vector<std::string> fields;  // the kept fields, in the order of LookupList::fieldNames()
};

// Thrown out of a lookup that ran past its deadline.
class LookupTimedOut : public std::runtime_error {
 public:
  LookupTimedOut() : std::runtime_error("the lookup ran past its time") {}
};

class LookupList {
 public:
  // Every record's text must be valid UTF-8; one that the matcher refuses
  // (empty, too long, not transcribable) is held but takes part in no pair.
  // `numberedIds`: the ids are row or line numbers, which JSON gives as
  // numbers. The phonetic forms are worked out on `threads` threads.
  LookupList(std::vector<LookupRecord> records, std::vector<std::string> fieldNames, bool numberedIds,
             unsigned threads = 1);

  std::size_t size() const noexcept { return records_.size(); }
  const LookupRecord& record(std::size_t index) const noexcept { return records_[index]; }
  const std::u16string& string(std::size_t index) const noexcept { return strings_[index]; }
  const std::vector<std::string>& fieldNames() const noexcept { return fieldNames_; }
  bool numberedIds() const noexcept { return numberedIds_; }

  // The candidates of each query, as the Matcher ranks them (by answer from
  // the highest, then by record), under `options` (its threads are taken as
  // given). Past `deadline` the lookup stops with LookupTimedOut.
  std::vector<std::vector<ScoredPair>> Find(const std::vector<std::u16string>& queries, const MatchOptions& options,
                                            std::chrono::steady_clock::time_point deadline) const;

 private:
  std::vector<LookupRecord> records_;
  std::vector<std::u16string> strings_;
  std::vector<std::string> fieldNames_;
  bool numberedIds_;
  // Each distinct string's phonetic form, by a view into strings_; a string
  // whose form could not be made is absent and is transcribed (and refused)
  // again by the Matcher.
  std::unordered_map<std::u16string_view, std::u16string> forms_;
};

}  // namespace vantel::server
