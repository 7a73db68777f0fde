#include "Input.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <istream>
#include <string>

#include "Arguments.h"

namespace vantel::cli {

InputFile::InputFile(std::string_view path, std::istream& standardInput, std::string_view option)
    : stream_(&standardInput), name_("standard input") {
  if (path == "-") return;
  // As a path of UTF-8 text: on Windows, file names are UTF-16, not bytes of
  // the ANSI code page.
  file_.open(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  if (!file_) {
    throw UsageError(std::string(option) + ": cannot open '" + std::string(path) + "': " + std::strerror(errno));
  }
  stream_ = &file_;
  name_ = path;
}

bool ReadLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace vantel::cli
