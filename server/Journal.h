// The changes made to a served list since its file was read, one JSON line
// each, appended beside the file (FILE.journal): a record added,
//   {"add": {"id": "C2001", "string": "Jon Smith", "fields": {"city": "Oslo"}}}
// or the records of an id removed,
//   {"remove": "C2001"}
// Each line is on the disk (fsync) before the change is acknowledged, and the
// journal is replayed when the server starts, so a crash loses nothing that
// was acknowledged.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "LookupList.h"

namespace vantel::server {

// A journal that cannot be read, written or made sense of; the message names
// the file (and the line).
class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Journal {
 public:
  // Opens the file for appending, making it when it is missing, and holds
  // it for this process alone: a second server, or a compaction, that wants
  // the same journal is refused while this one lives.
  explicit Journal(std::string path);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Writes the line and its line end and waits until they are on the disk. A
  // write that fails is cut off again, so the journal holds whole lines only.
  void Append(std::string_view line);

  const std::string& path() const noexcept { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

std::string AddedLine(const LookupRecord& record, const std::vector<std::string>& fieldNames);
std::string RemovedLine(std::string_view id);

// The list with the journal's changes made, in order; the list itself when
// there is no journal. With `index`, the index the list was read from, the
// changes that index already holds (a compaction folded them in, and a
// crash kept it from removing the journal) are not made again. A last line without its line end is a write that a
// crash cut short before it was acknowledged: it is cut off the file, and
// `cutShort` says so. Any other damage throws JournalError naming the line.
std::shared_ptr<const LookupList> ReplayJournal(const std::string& path, std::shared_ptr<const LookupList> list,
                                                bool& cutShort, const Index* index = nullptr);

// Takes the lock that a running server holds on its journal, for as long as
// the object lives, making an empty journal when there is none; throws
// JournalError when another process holds it.
class JournalLock {
 public:
  explicit JournalLock(const std::string& path);
  ~JournalLock();
  JournalLock(const JournalLock&) = delete;
  JournalLock& operator=(const JournalLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace vantel::server
