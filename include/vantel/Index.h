// An index: a candidate list prepared once and kept in a file, so that a
// command or a server that opens it transcribes nothing. The file is mapped
// into memory, not parsed: opening it checks the header and every section's
// checksum and bounds once, and the processes that open the same file share
// its pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vantel/Match.h"

namespace vantel {

// What an index holds besides the prepared strings: for each candidate of
// the list, in list order, its id, its string as the file has it and the
// fields carried along; the rows of the file that were set aside.
struct IndexRecords {
  std::string sourceName;  // the file the list was read from, for messages
  std::string idName, stringName;
  std::vector<std::string> keepNames;
  bool numberedIds = false;  // the ids are row or line numbers
  // Per candidate: id, string, then one field per keep name.
  std::vector<std::string_view> fields;
  std::vector<std::uint64_t> lines;                             // per candidate: its line in the file
  std::vector<std::pair<std::uint64_t, std::string>> problems;  // line, why the row was set aside
  // With numbered ids, the number the next record added gets, when it is not
  // the one after the largest id (ids removed are never given again); 0 otherwise.
  std::uint64_t nextNumber = 0;
  // The journal whose changes this index already holds (what a compaction
  // folded in), so that a journal left behind by a crash is not replayed twice.
  std::string_view foldedJournal;
};

// Writes the index of `candidates` (prepared from the candidates' strings in
// list order) with `records` to `out`; throws RuntimeError 5 when the two do
// not describe the same list.
void WriteIndex(std::string& out, const PreparedCandidates& candidates, const IndexRecords& records);

// Why a file is not an index that this build can read. The message names
// the file.
class IndexError : public std::runtime_error {
 public:
  enum class Fault : std::uint8_t {
    Unreadable,  // cannot be opened or mapped, or is not a regular file
    Truncated,   // shorter than its header says (or empty)
    Foreign,     // not an index: its magic number is wrong
    ByteOrder,   // written on a machine of the other byte order
    Newer,       // written in a later format than this build reads
    Corrupt,     // a checksum fails, or the contents do not hold together
  };
  IndexError(Fault fault, const std::string& message) : std::runtime_error(message), fault_(fault) {}
  Fault fault() const noexcept { return fault_; }

 private:
  Fault fault_;
};

class Index {
 public:
  // Maps and checks the file `path`; throws IndexError.
  static std::shared_ptr<const Index> Open(const std::string& path);
  // Checks the bytes of an index already in memory, which must stay there
  // and unchanged while the index lives; `name` stands for the file in messages.
  static std::shared_ptr<const Index> FromBytes(std::shared_ptr<const void> owner, const void* bytes, std::size_t size,
                                                const std::string& name);

  std::size_t size() const noexcept { return lines_.size(); }  // candidates
  const std::string& sourceName() const noexcept { return sourceName_; }
  std::string_view idName() const noexcept { return names_[0]; }
  std::string_view stringName() const noexcept { return names_[1]; }
  const std::vector<std::string_view>& keepNames() const noexcept { return keepNames_; }
  bool numberedIds() const noexcept { return numberedIds_; }
  std::string_view id(std::size_t candidate) const noexcept { return Field(candidate, 0); }
  std::string_view text(std::size_t candidate) const noexcept { return Field(candidate, 1); }
  std::string_view keep(std::size_t candidate, std::size_t field) const noexcept { return Field(candidate, 2 + field); }
  std::uint64_t line(std::size_t candidate) const noexcept { return lines_[candidate]; }
  const std::vector<std::pair<std::uint64_t, std::string_view>>& problems() const noexcept { return problems_; }
  // IndexRecords::nextNumber as written (0 when not given).
  std::uint64_t nextNumber() const noexcept { return nextNumber_; }
  // How many leading bytes of `journal` (a journal's whole contents) this
  // index has folded in already: all of the journal it was compacted from
  // when `journal` still starts with exactly those bytes, else 0.
  std::size_t FoldedPrefix(std::string_view journal) const noexcept;
  // The prepared list, which holds the mapping.
  const std::shared_ptr<const PreparedCandidates>& candidates() const noexcept { return candidates_; }

  Index(const Index&) = delete;
  Index& operator=(const Index&) = delete;
  ~Index();

 private:
  Index() = default;
  std::string_view Field(std::size_t candidate, std::size_t field) const noexcept;

  std::string sourceName_;
  std::vector<std::string_view> names_;  // id, string, source, then keeps
  std::vector<std::string_view> keepNames_;
  bool numberedIds_ = false;
  std::uint64_t nextNumber_ = 0;
  std::uint64_t foldedBytes_ = 0, foldedChecksum_ = 0;
  std::size_t fieldsPer_ = 2;
  const std::uint64_t* fieldEnds_ = nullptr;  // fieldsPer_ * size() + 1
  const char* fieldBytes_ = nullptr;
  std::vector<std::uint64_t> lines_;
  std::vector<std::pair<std::uint64_t, std::string_view>> problems_;
  std::shared_ptr<const void> storage_;
  std::shared_ptr<const PreparedCandidates> candidates_;
};

}  // namespace vantel
