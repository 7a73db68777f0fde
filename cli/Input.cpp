#include "Input.h"

#include <cerrno>
#include <cstring>
#include <istream>

#include "Arguments.h"

namespace vantel::cli {

InputFile::InputFile(std::string_view path, std::istream& standardInput, std::string_view option)
    : stream_(&standardInput), name_("standard input") {
  if (path == "-") return;
  file_.open(std::string(path), std::ios::binary);
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
