// Loaded with LD_PRELOAD into the vantel program by the process tests, this
// library makes the program's reads or writes fail at a chosen byte, as a
// failing disk or a lost network file system would:
//
//   VANTEL_FAULT_READ_PATH=FILE VANTEL_FAULT_READ_AFTER=N
//     reads of FILE (opened by path or given as standard input: the file is
//     recognised by its device and inode) deliver its first N bytes, then
//     fail with EIO;
//   VANTEL_FAULT_WRITE_FD=FD VANTEL_FAULT_WRITE_AFTER=N
//     writes to descriptor FD take N bytes, then fail with EIO.
//
// Every other call goes to the C library unchanged.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

using ReadFunction = ssize_t (*)(int, void*, size_t);
using WriteFunction = ssize_t (*)(int, const void*, size_t);

struct Fault {
  bool active = false;
  size_t allowed = 0;  // bytes still to deliver before failing
};

long long EnvironmentNumber(const char* name, long long otherwise) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return otherwise;
  return std::strtoll(text, nullptr, 10);
}

struct Faults {
  Faults() {
    if (const char* path = std::getenv("VANTEL_FAULT_READ_PATH"); path != nullptr && stat(path, &readFile) == 0) {
      read.active = true;
      read.allowed = static_cast<size_t>(EnvironmentNumber("VANTEL_FAULT_READ_AFTER", 0));
    }
    writeFd = static_cast<int>(EnvironmentNumber("VANTEL_FAULT_WRITE_FD", -1));
    if (writeFd >= 0) {
      write.active = true;
      write.allowed = static_cast<size_t>(EnvironmentNumber("VANTEL_FAULT_WRITE_AFTER", 0));
    }
    realRead = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    realWrite = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
  }

  bool IsFaultyRead(int fd) const {
    if (!read.active) return false;
    struct stat info {};
    return fstat(fd, &info) == 0 && info.st_dev == readFile.st_dev && info.st_ino == readFile.st_ino;
  }

  Fault read, write;
  struct stat readFile {};
  int writeFd = -1;
  ReadFunction realRead = nullptr;
  WriteFunction realWrite = nullptr;
};

Faults& TheFaults() {
  static Faults faults;
  return faults;
}

// Shortens the call to what the fault still allows, or fails it.
bool Limit(Fault& fault, size_t& count) {
  if (fault.allowed == 0) {
    errno = EIO;
    return false;
  }
  if (count > fault.allowed) count = fault.allowed;
  return true;
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
  Faults& faults = TheFaults();
  if (!faults.IsFaultyRead(fd)) return faults.realRead(fd, buffer, count);
  if (!Limit(faults.read, count)) return -1;
  const ssize_t got = faults.realRead(fd, buffer, count);
  if (got > 0) faults.read.allowed -= static_cast<size_t>(got);
  return got;
}

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
  Faults& faults = TheFaults();
  if (!faults.write.active || fd != faults.writeFd) return faults.realWrite(fd, buffer, count);
  if (!Limit(faults.write, count)) return -1;
  const ssize_t put = faults.realWrite(fd, buffer, count);
  if (put > 0) faults.write.allowed -= static_cast<size_t>(put);
  return put;
}
