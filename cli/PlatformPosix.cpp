// The standard streams and files as file descriptors, read and written with
// read(2) and write(2). A write to a pipe whose reader has gone raises
// SIGPIPE, which ends the program as usual unless the parent ignores that
// signal; then write(2) fails with EPIPE and the command reports it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Platform.h"

namespace vantel::cli {
namespace {

class FileDescriptorSource final : public ByteSource {
 public:
  FileDescriptorSource(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~FileDescriptorSource() override {
    if (owned_) close(fd_);
  }
  FileDescriptorSource(const FileDescriptorSource&) = delete;
  FileDescriptorSource& operator=(const FileDescriptorSource&) = delete;

  std::size_t Read(std::span<char> buffer) override {
    for (;;) {
      const ssize_t count = read(fd_, buffer.data(), buffer.size());
      if (count >= 0) return static_cast<std::size_t>(count);
      if (errno != EINTR) throw ReadError(std::strerror(errno));
    }
  }

 private:
  int fd_;
  bool owned_;
};

class FileDescriptorSink final : public ByteSink {
 public:
  explicit FileDescriptorSink(int fd) : fd_(fd) {}

  void Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t count = write(fd_, bytes.data(), bytes.size());
      if (count < 0) {
        if (errno == EINTR) continue;
        throw WriteError(std::strerror(errno));
      }
      bytes.remove_prefix(static_cast<std::size_t>(count));
    }
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<ByteSource> StandardInputSource() {
  return std::make_unique<FileDescriptorSource>(STDIN_FILENO, false);
}

std::unique_ptr<ByteSink> StandardOutputSink() { return std::make_unique<FileDescriptorSink>(STDOUT_FILENO); }

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw ReadError(std::strerror(errno));
  return std::make_unique<FileDescriptorSource>(fd, true);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace vantel::cli
