// Folding a served index's journal into a new index file: the records as the
// server holds them after replaying the journal, written as `vantel index`
// writes a file, so that a start no longer replays the changes one by one.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace vantel::server {

// What stops a compaction; the message names the file.
class CompactionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Compacted {
  std::size_t records = 0;  // in the new index
  std::size_t changes = 0;  // journal lines folded in
  bool cutShort = false;    // the journal's last line was cut short by a crash, and left out
};

// Reads the index `indexPath` and its journal (indexPath + ".journal"), and
// writes the list they make to `outputPath`: through a file beside it that
// is renamed over it once it is on the disk, so that a crash leaves the old
// file or the new one, never part of one. Ids stay as they were, and with
// numbered ids the new index goes on numbering after every id ever given.
// When `outputPath` is the index itself the journal is removed afterwards;
// should a crash come first, the new index knows the journal's contents and
// a start does not make its changes twice. A server holding the journal
// (one that takes changes) makes this refuse. Throws CompactionError, or
// IndexError for an index that cannot be read.
Compacted CompactIndex(const std::string& indexPath, const std::string& outputPath);

}  // namespace vantel::server
