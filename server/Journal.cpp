#include "Journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>
#include <vector>

#include "vantel/Utf8.h"

namespace vantel::server {
namespace {

using json = nlohmann::ordered_json;

std::string SystemReason() { return std::strerror(errno); }

// Opens the journal at `path`, making it when it is missing, and takes an
// advisory lock on it, which the system lets go when the process ends,
// however it ends. A compaction may remove the file between the open and the
// lock: a lock on a file that the path no longer names guards nothing, so
// then the file the path names now is opened again.
int OpenLocked(const std::string& path, int flags) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int fd = open(path.c_str(), flags | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      const std::string reason = SystemReason();
      throw JournalError(std::string(path).append(": cannot open: ").append(reason));
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool held = errno == EWOULDBLOCK;
      const std::string reason = SystemReason();
      close(fd);
      if (held) throw JournalError(path + ": in use by another process (a running vantel serve?)");
      throw JournalError(std::string(path).append(": cannot lock: ").append(reason));
    }
    struct stat opened {};
    struct stat named {};
    if (fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
        opened.st_ino == named.st_ino) {
      return fd;
    }
    close(fd);
  }
  throw JournalError(path + ": keeps being replaced while it is opened");
}

}  // namespace

Journal::Journal(std::string path) : path_(std::move(path)) {
  const bool made = !std::filesystem::exists(path_);
  fd_ = OpenLocked(path_, O_WRONLY | O_APPEND);
  // A new file's name is on the disk only once its folder is.
  if (made) {
    const std::filesystem::path parent = std::filesystem::absolute(path_).parent_path();
    const int folder = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && fsync(folder) == 0;
    if (folder >= 0) close(folder);
    if (!synced) {
      const std::string reason = SystemReason();
      close(fd_);
      throw JournalError(path_ + ": cannot flush its folder to the disk: " + reason);
    }
  }
  struct stat status {};
  if (fstat(fd_, &status) != 0) {
    const std::string reason = SystemReason();
    close(fd_);
    throw JournalError(path_ + ": " + reason);
  }
  size_ = static_cast<std::uint64_t>(status.st_size);
}

Journal::~Journal() {
  if (fd_ >= 0) close(fd_);
}

void Journal::Append(std::string_view line) {
  // Where the file ends now: a replay at start may have cut a line off it
  // since it was opened, and a failed write is cut back to here.
  struct stat status {};
  if (fstat(fd_, &status) != 0) throw JournalError(path_ + ": " + SystemReason());
  size_ = static_cast<std::uint64_t>(status.st_size);
  std::string bytes(line);
  bytes += '\n';
  std::string_view left = bytes;
  while (!left.empty()) {
    const ssize_t written = write(fd_, left.data(), left.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      const std::string reason = written < 0 ? SystemReason() : "nothing written";
      // What did reach the file would join the next line: cut it off.
      if (ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
        throw JournalError(path_ + ": write failed (" + reason + ") and cannot be undone: " + SystemReason());
      }
      throw JournalError(path_ + ": write failed: " + reason);
    }
    left.remove_prefix(static_cast<std::size_t>(written));
  }
  if (fsync(fd_) != 0) {
    // Not acknowledged, so not to be replayed either.
    const std::string reason = SystemReason();
    if (ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
      throw JournalError(path_ + ": cannot flush to the disk (" + reason + ") nor cut the change off again");
    }
    throw JournalError(path_ + ": cannot flush to the disk: " + reason);
  }
  size_ += bytes.size();
}

JournalLock::JournalLock(const std::string& path) : fd_(OpenLocked(path, O_RDONLY)) {}

JournalLock::~JournalLock() {
  if (fd_ >= 0) close(fd_);
}

std::string AddedLine(const LookupRecord& record, const std::vector<std::string>& fieldNames) {
  json fields = json::object();
  for (std::size_t at = 0; at < fieldNames.size(); ++at) fields[fieldNames[at]] = record.fields[at];
  return json{{"add", {{"id", record.id}, {"string", record.text}, {"fields", std::move(fields)}}}}.dump();
}

std::string RemovedLine(std::string_view id) { return json{{"remove", id}}.dump(); }

std::shared_ptr<const LookupList> ReplayJournal(const std::string& path, std::shared_ptr<const LookupList> list,
                                                bool& cutShort, const Index* index) {
  cutShort = false;
  if (!std::filesystem::exists(path)) return list;
  std::ifstream file(path, std::ios::binary);
  if (!file) throw JournalError(path + ": cannot open: " + SystemReason());
  std::stringstream whole;
  whole << file.rdbuf();
  if (file.bad()) throw JournalError(path + ": read error");
  const std::string text = whole.str();

  std::vector<LookupRecord> pending;  // consecutive additions, made at once
  const auto addPending = [&] {
    if (pending.empty()) return;
    list = std::make_shared<const LookupList>(list->WithAdded(std::move(pending)));
    pending.clear();
  };
  std::size_t start = index ? index->FoldedPrefix(text) : 0;
  const std::size_t skippedLines = static_cast<std::size_t>(std::count(text.data(), text.data() + start, '\n'));
  for (std::size_t line = 1 + skippedLines; start < text.size(); ++line) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      if (truncate(path.c_str(), static_cast<off_t>(start)) != 0) {
        throw JournalError(path + " line " + std::to_string(line) +
                           ": cut short, and cannot be cut off: " + SystemReason());
      }
      cutShort = true;
      break;
    }
    const std::string where = path + " line " + std::to_string(line) + ": ";
    json entry;
    try {
      entry = json::parse(std::string_view(text).substr(start, end - start));
    } catch (const json::parse_error& bad) {
      throw JournalError(where + "not JSON: " + bad.what());
    }
    start = end + 1;
    if (entry.is_object() && entry.size() == 1 && entry.contains("remove") && entry["remove"].is_string()) {
      addPending();
      list = std::make_shared<const LookupList>(list->WithRemoved(entry["remove"].get<std::string>()));
      continue;
    }
    const bool isAdd = entry.is_object() && entry.size() == 1 && entry.contains("add") && entry["add"].is_object();
    if (!isAdd) throw JournalError(where + "neither {\"add\": {...}} nor {\"remove\": \"ID\"}");
    const json& added = entry["add"];
    if (!added.contains("id") || !added["id"].is_string() || !added.contains("string") ||
        !added["string"].is_string() || !added.contains("fields") || !added["fields"].is_object()) {
      throw JournalError(where + "an addition needs \"id\" and \"string\" strings and a \"fields\" object");
    }
    LookupRecord record{added["id"].get<std::string>(), added["string"].get<std::string>(), {}};
    try {
      Utf16Length(record.text);
    } catch (const InvalidUtf8&) {
      throw JournalError(where + "the string is not valid UTF-8");
    }
    for (const std::string& name : list->fieldNames()) {
      const auto field = added["fields"].find(name);
      if (field != added["fields"].end() && !field->is_string()) {
        throw JournalError(where + std::string("field '").append(name).append("' is not a string"));
      }
      record.fields.push_back(field == added["fields"].end() ? std::string() : field->get<std::string>());
    }
    pending.push_back(std::move(record));
  }
  addPending();
  return list;
}

}  // namespace vantel::server
