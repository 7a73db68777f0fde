// The list that a server looks names up in: the records as read once at
// start, their strings in UTF-16 and the phonetic form of each distinct one,
// worked out once, and the strings prepared for the library's Matcher. It is
// immutable once built and shared by every request; a lookup prepares only
// its queries and matches them with the prepared strings, so that every
// answer is exactly what `vantel match` gives for the same query.
// A change makes a new list (which shares the forms of the old one and
// prepares its strings anew) for the requests that come after it; those
// under way keep the old one.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vantel/Index.h"
#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace vantel::server {

struct LookupRecord {
  std::string id;                   // its id field, or its row or line number
  std::string text;                 // the string matched, UTF-8 as the file has it
  std::vector<std::string> fields;  // the kept fields, in the order of LookupList::fieldNames()
  std::uint64_t line = 0;           // its line in the file the list was read from; 0 for one added later
};

// A record as a list holds it: views into the index the list was read from,
// or into a record of its own (read from a file, or added since). Valid
// while the list is.
struct RecordView {
  std::string_view id;
  std::string_view text;
  std::uint64_t line = 0;
  const LookupRecord* own = nullptr;  // the record, when the list holds it
  const Index* index = nullptr;       // else the index that does, at `position`
  std::size_t position = 0;

  // Kept field `at`, in the order of LookupList::fieldNames().
  std::string_view field(std::size_t at) const noexcept {
    return own != nullptr ? std::string_view(own->fields[at]) : index->keep(position, at);
  }
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
  // The list of an index: its records and its prepared strings as stored,
  // read where they are, nothing copied and nothing transcribed. Changes
  // made to it later transcribe only what they add.
  explicit LookupList(std::shared_ptr<const Index> index);

  std::size_t size() const noexcept { return fromIndex_.size() + records_.size(); }
  RecordView record(std::size_t at) const noexcept;
  // The string of a record as the matcher takes it (in UTF-16).
  std::u16string string(std::size_t at) const { return Utf8ToUtf16(record(at).text); }
  const std::vector<std::string>& fieldNames() const noexcept { return fieldNames_; }
  bool numberedIds() const noexcept { return numberedIds_; }
  // The strings prepared for the Matcher, in the order of the records.
  const std::shared_ptr<const PreparedCandidates>& prepared() const noexcept { return prepared_; }

  // The list with `added` after its records, each of whose text must be valid
  // UTF-8; their forms are worked out here.
  LookupList WithAdded(std::vector<LookupRecord> added) const;
  // The list without the records of this id; the others keep their order.
  LookupList WithRemoved(std::string_view id) const;
  bool Holds(std::string_view id) const noexcept;
  // With numbered ids: the number after the largest ever held (removed ones
  // included), so that no id is ever given twice.
  std::uint64_t NextNumber() const noexcept { return std::max(mostNumber_, removedMost_) + 1; }

  // The candidates of each query, as the Matcher ranks them (by answer from
  // the highest, then by record), under `options` (its threads are taken as
  // given). Past `deadline` the lookup stops with LookupTimedOut.
  std::vector<std::vector<ScoredPair>> Find(const std::vector<std::u16string>& queries, const MatchOptions& options,
                                            std::chrono::steady_clock::time_point deadline) const;

 private:
  // The records: those of the index the list was read from that it still
  // holds (by their positions there), then its own.
  std::shared_ptr<const Index> index_;
  std::vector<std::uint32_t> fromIndex_;
  std::vector<LookupRecord> records_;
  std::vector<std::string> fieldNames_;
  bool numberedIds_ = false;
  // Each distinct string's phonetic form; a string whose form could not be
  // made is absent and is transcribed (and refused) again by the Matcher.
  // Those of the list as first read, shared by every later list, and those
  // of the records added since, copied into each change's list.
  using FormTable = std::unordered_map<std::u16string, std::u16string>;
  static FormTable MakeForms(const std::vector<std::u16string>& strings, unsigned threads, const FormTable* known);
  // The forms of the list as first read: made at once from a file, but from
  // an index (whose prepared strings hold them) only when a change first
  // needs them, so that serving an index holds no second copy until then.
  class FirstForms {
   public:
    explicit FirstForms(FormTable forms);
    explicit FirstForms(std::shared_ptr<const PreparedCandidates> stored);
    const FormTable& table() const;

   private:
    mutable std::once_flag made_;
    mutable FormTable table_;
    std::shared_ptr<const PreparedCandidates> stored_;
  };
  LookupList() = default;
  // The strings of the records, in UTF-16: made when needed, not held.
  std::vector<std::u16string> Strings() const;
  // Prepares the strings for the Matcher, with the forms of the tables.
  void Prepare(unsigned threads);
  std::shared_ptr<const FirstForms> forms_;
  std::shared_ptr<const FormTable> addedForms_;
  std::shared_ptr<const PreparedCandidates> prepared_;
  std::uint64_t mostNumber_ = 0;   // numbered ids: the largest held
  std::uint64_t removedMost_ = 0;  // and the largest removed
};

}  // namespace vantel::server
