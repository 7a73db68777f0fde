#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Mapping.h"
#include "vantel/Index.h"

namespace vantel::index {

// Without a way to map files, the file is read into memory once, in words so
// that the sections stay aligned.
MappedFile MapFile(const std::string& path) {
  const auto refuse = [&](const std::string& why) {
    throw IndexError(IndexError::Fault::Unreadable, path + ": " + why);
  };
  // The name is UTF-8, whatever the system's code page.
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(file, error);
  if (error) refuse(error.message());
  if (std::filesystem::is_directory(status)) refuse("is a directory, not an index file");
  if (!std::filesystem::is_regular_file(status)) refuse("is not a regular file");
  std::ifstream in(file, std::ios::binary);
  if (!in) refuse("cannot be opened");
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::size_t>(in.tellg());
  in.seekg(0);
  auto words = std::make_shared<std::vector<std::uint64_t>>((size + 7) / 8);
  if (size != 0 && !in.read(reinterpret_cast<char*>(words->data()), static_cast<std::streamsize>(size))) {
    refuse("cannot be read");
  }
  MappedFile mapped;
  mapped.bytes = words->data();
  mapped.size = size;
  mapped.owner = std::move(words);
  return mapped;
}

}  // namespace vantel::index
