// Files through the C run-time's low-level I/O (_wopen, _read), in binary
// mode so that the bytes read are those of the file: line ends are the
// readers' business; a path is UTF-8 text, opened as the UTF-16 name Windows
// knows. The standard streams are std::cin and std::cout, which
// WindowsConsole.cpp sets up (UTF-8 bytes to files and pipes, UTF-16 on a
// console).
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "Platform.h"

namespace vantel::cli {
namespace {

constexpr unsigned kLargestChunk = INT_MAX / 2;

class CrtFileSource final : public ByteSource {
 public:
  CrtFileSource(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~CrtFileSource() override {
    if (owned_) _close(fd_);
  }
  CrtFileSource(const CrtFileSource&) = delete;
  CrtFileSource& operator=(const CrtFileSource&) = delete;

  std::size_t Read(std::span<char> buffer) override {
    const auto size = static_cast<unsigned>(buffer.size() < kLargestChunk ? buffer.size() : kLargestChunk);
    const int count = _read(fd_, buffer.data(), size);
    if (count < 0) throw ReadError(std::strerror(errno));
    return static_cast<std::size_t>(count);
  }

 private:
  int fd_;
  bool owned_;
};

}  // namespace

std::unique_ptr<ByteSource> StandardInputSource() { return std::make_unique<StreamSource>(std::cin); }

std::unique_ptr<ByteSink> StandardOutputSink() { return std::make_unique<StreamSink>(std::cout); }

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
  const std::filesystem::path name(std::u8string(path.begin(), path.end()));
  const int fd = _wopen(name.c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0) throw ReadError(std::strerror(errno));
  return std::make_unique<CrtFileSource>(fd, true);
}

bool StandardErrorIsTerminal() { return _isatty(2) != 0; }

}  // namespace vantel::cli
