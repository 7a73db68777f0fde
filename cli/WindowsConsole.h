// How vantel.exe meets Windows, and the only file of the command that does:
// the arguments come as UTF-16 from Windows (never through a code page) and
// are handed on as UTF-8; the standard streams carry UTF-8 bytes unchanged
// (no CR added) to and from files and pipes, and UTF-16 to and from a
// console, so that any text shows there as it is. The commands themselves see
// only UTF-8 and std::cin, std::cout and std::cerr, as on every system.
#pragma once

#include <memory>
#include <streambuf>
#include <string>
#include <vector>

namespace vantel::cli::windows {

// The arguments after the program name (argv[1] on), as UTF-8. A lone
// surrogate, which a Windows command line may hold but no text does, is
// encoded as such (three bytes that are not valid UTF-8), so that the command
// rejects the argument as it rejects invalid UTF-8 anywhere else.
std::vector<std::string> Utf8Arguments(int argc, const wchar_t* const* argv);

// UTF-16 as UTF-8, lone surrogates as above.
std::string ToUtf8(const wchar_t* text, std::size_t length);

// While it lives, std::cin, std::cout and std::cerr read and write the
// process's standard handles as described above. Call
// std::ios::sync_with_stdio(false) before making it.
class StandardStreams {
 public:
  StandardStreams();
  // Flushes what is left and gives the streams their own buffers back.
  ~StandardStreams();
  StandardStreams(const StandardStreams&) = delete;
  StandardStreams& operator=(const StandardStreams&) = delete;

 private:
  std::unique_ptr<std::streambuf> in_;
  std::unique_ptr<std::streambuf> out_;
  std::unique_ptr<std::streambuf> err_;
  std::streambuf* savedIn_ = nullptr;
  std::streambuf* savedOut_ = nullptr;
  std::streambuf* savedErr_ = nullptr;
};

}  // namespace vantel::cli::windows
