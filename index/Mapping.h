// The one thing an index asks of the operating system: a file's bytes in
// memory, read-only, for as long as `owner` lives. POSIX maps the file
// (MappingPosix.cpp); elsewhere it is read whole (MappingPortable.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace vantel::index {

struct MappedFile {
  std::shared_ptr<const void> owner;
  const void* bytes = nullptr;
  std::size_t size = 0;
};

// Throws IndexError (Unreadable) naming `path` when it cannot be opened, is
// not a regular file, or cannot be mapped. An empty file maps to no bytes.
MappedFile MapFile(const std::string& path);

}  // namespace vantel::index
