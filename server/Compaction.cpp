#include "Compaction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "Journal.h"
#include "LookupList.h"
#include "vantel/Index.h"

namespace vantel::server {
namespace {

std::string SystemReason() { return std::strerror(errno); }

std::string ReadWhole(const std::string& path) {
  if (!std::filesystem::exists(path)) return {};
  std::ifstream file(path, std::ios::binary);
  std::stringstream whole;
  whole << file.rdbuf();
  if (!file || file.bad()) throw CompactionError(path + ": cannot read: " + SystemReason());
  return whole.str();
}

// Makes what was renamed or removed in the folder of `path` survive a crash.
void SyncFolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = fd >= 0 && fsync(fd) == 0;
  const std::string reason = SystemReason();
  if (fd >= 0) close(fd);
  if (!synced) throw CompactionError(folder.string() + ": cannot flush the folder to the disk: " + reason);
}

// Writes `bytes` to `path` through a file of its own beside it, renamed over
// it once on the disk; a file replaced keeps its permissions.
void ReplaceFile(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".compacting-XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) throw CompactionError(temporary + ": cannot open for writing: " + SystemReason());
  struct stat replaced {};
  const mode_t mode = stat(path.c_str(), &replaced) == 0 ? replaced.st_mode & 07777 : 0644;
  if (fchmod(fd, mode) != 0) {
    const std::string reason = SystemReason();
    close(fd);
    unlink(temporary.c_str());
    throw CompactionError(temporary + ": cannot set its permissions: " + reason);
  }
  std::string_view left = bytes;
  bool written = true;
  while (written && !left.empty()) {
    const ssize_t count = write(fd, left.data(), left.size());
    if (count < 0 && errno == EINTR) continue;
    written = count > 0;
    if (written) left.remove_prefix(static_cast<std::size_t>(count));
  }
  written = written && fsync(fd) == 0;
  const std::string reason = SystemReason();
  written = close(fd) == 0 && written;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string why = written ? SystemReason() : reason;
    unlink(temporary.c_str());
    throw CompactionError(path + ": cannot write the index: " + why);
  }
  SyncFolderOf(path);
}

}  // namespace

Compacted CompactIndex(const std::string& indexPath, const std::string& outputPath) {
  const std::string journalPath = indexPath + ".journal";
  // An index that is not there is refused before its journal is made to lock.
  if (!std::filesystem::exists(indexPath)) Index::Open(indexPath);
  // No server may add to the journal while it is being folded in.
  std::unique_ptr<JournalLock> lock;
  try {
    lock = std::make_unique<JournalLock>(journalPath);
  } catch (const JournalError& held) {
    throw CompactionError(held.what());
  }
  const std::shared_ptr<const Index> index = Index::Open(indexPath);

  Compacted compacted;
  std::shared_ptr<const LookupList> list = std::make_shared<const LookupList>(index);
  try {
    list = ReplayJournal(journalPath, list, compacted.cutShort, index.get());
  } catch (const JournalError& damaged) {
    throw CompactionError(damaged.what());
  }
  // As the replay left it: a line cut short by a crash is cut off.
  const std::string journal = ReadWhole(journalPath);
  const std::size_t folded = index->FoldedPrefix(journal);
  compacted.changes =
      static_cast<std::size_t>(std::count(journal.data() + folded, journal.data() + journal.size(), '\n'));

  IndexRecords records;
  records.sourceName = index->sourceName();
  records.idName = std::string(index->idName());
  records.stringName = std::string(index->stringName());
  records.keepNames = list->fieldNames();
  records.numberedIds = list->numberedIds();
  records.nextNumber = list->numberedIds() ? list->NextNumber() : 0;
  records.foldedJournal = journal;
  records.fields.reserve(list->size() * (2 + records.keepNames.size()));
  records.lines.reserve(list->size());
  for (std::size_t at = 0; at < list->size(); ++at) {
    const RecordView record = list->record(at);
    records.fields.push_back(record.id);
    records.fields.push_back(record.text);
    for (std::size_t field = 0; field < records.keepNames.size(); ++field)
      records.fields.push_back(record.field(field));
    records.lines.push_back(record.line);
  }
  for (const auto& [line, reason] : index->problems()) records.problems.emplace_back(line, std::string(reason));
  std::string bytes;
  WriteIndex(bytes, *list->prepared(), records);
  compacted.records = list->size();

  std::error_code ignored;
  const bool inPlace = std::filesystem::equivalent(indexPath, outputPath, ignored);
  // Another index's journal would be replayed over the new one.
  if (!inPlace && std::filesystem::exists(outputPath + ".journal") &&
      std::filesystem::file_size(outputPath + ".journal", ignored) != 0) {
    throw CompactionError(outputPath + ".journal: exists, and is the journal of another index");
  }
  ReplaceFile(outputPath, bytes);
  if (inPlace) {
    if (unlink(journalPath.c_str()) != 0) {
      throw CompactionError(journalPath + ": folded into the index but cannot be removed: " + SystemReason());
    }
    SyncFolderOf(journalPath);
  }
  return compacted;
}

}  // namespace vantel::server
