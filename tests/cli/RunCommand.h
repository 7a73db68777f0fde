// Runs the vantel command in-process, with its standard streams captured.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Cli.h"

namespace vantel::cli {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

inline CliRun RunWith(std::vector<std::string_view> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = RunCli(args, in, out, err);
  return {status, out.str(), err.str()};
}

// A file of its own in a private folder made for it under the temporary
// directory (mkdtemp), so that no other test or program can share or
// replace it; the folder is removed at the end of the test.
class TempFile {
 public:
  explicit TempFile(const std::string& contents, const std::string& name = "input.txt") {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a folder like " << pattern;
    folder_ = pattern;
    path_ = folder_ / name;
    std::ofstream(path_, std::ios::binary) << contents;
  }
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

}  // namespace vantel::cli
