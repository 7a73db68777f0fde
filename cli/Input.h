// Reading lines of text from a file or from standard input.
#pragma once

#include <fstream>
#include <iosfwd>
#include <string>
#include <string_view>

namespace vantel::cli {

// A file named on the command line, or standard input for "-".
class InputFile {
 public:
  // Throws UsageError naming `option` when the file cannot be opened.
  InputFile(std::string_view path, std::istream& standardInput, std::string_view option);

  std::istream& stream() noexcept { return *stream_; }
  // How messages name it: the path, or "standard input".
  const std::string& name() const noexcept { return name_; }

 private:
  std::ifstream file_;
  std::istream* stream_;
  std::string name_;
};

// Reads the next line without its line break ("\n" or "\r\n"). False at the end.
bool ReadLine(std::istream& in, std::string& line);

}  // namespace vantel::cli
