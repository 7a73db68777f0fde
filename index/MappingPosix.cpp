#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Mapping.h"
#include "vantel/Index.h"

namespace vantel::index {
namespace {

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
  throw IndexError(IndexError::Fault::Unreadable, path + ": " + why);
}

struct Descriptor {
  int fd;
  ~Descriptor() { ::close(fd); }
};

}  // namespace

MappedFile MapFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Refuse(path, std::strerror(errno));
  const Descriptor descriptor{fd};
  struct stat status {};
  if (::fstat(fd, &status) != 0) Refuse(path, std::strerror(errno));
  if (!S_ISREG(status.st_mode)) {
    Refuse(path, S_ISDIR(status.st_mode) ? "is a directory, not an index file" : "is not a regular file");
  }
  MappedFile mapped;
  mapped.size = static_cast<std::size_t>(status.st_size);
  if (mapped.size == 0) return mapped;
  void* bytes = ::mmap(nullptr, mapped.size, PROT_READ, MAP_SHARED, fd, 0);
  if (bytes == MAP_FAILED) Refuse(path, std::string("cannot be mapped: ") + std::strerror(errno));
  const std::size_t size = mapped.size;
  mapped.owner = std::shared_ptr<const void>(bytes, [size](const void* at) { ::munmap(const_cast<void*>(at), size); });
  mapped.bytes = bytes;
  return mapped;
}

}  // namespace vantel::index
