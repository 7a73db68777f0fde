// The input side of every command: where bytes come from, how they are cut
// into lines, and how a failed read is reported. A command never reads a
// stream itself, so that a read error ends every command the same way: with
// the input's name and the line reached, and a failure status.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantel::cli {

// A source of bytes failed; the message is the system's reason ("Is a directory").
class ReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A read error of a named input, as reported to the user:
// "standard input: read error after line 4: Input/output error".
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills the front of `buffer` and returns how many bytes it read: 0 at
  // the end of the input only. Throws ReadError.
  virtual std::size_t Read(std::span<char> buffer) = 0;
};

// The bytes of a standard stream (a string stream in tests, or any stream an
// in-process caller has). A stream that goes bad is a read error.
class StreamSource final : public ByteSource {
 public:
  explicit StreamSource(std::istream& stream) : stream_(stream) {}
  std::size_t Read(std::span<char> buffer) override;

 private:
  std::istream& stream_;
};

// An input as the commands see it: its bytes and the name messages give it.
class Input {
 public:
  Input(std::unique_ptr<ByteSource> source, std::string name)
      : owned_(std::move(source)), source_(owned_.get()), name_(std::move(name)) {}
  Input(ByteSource& source, std::string name) : source_(&source), name_(std::move(name)) {}

  ByteSource& source() noexcept { return *source_; }
  // The path as given, or "standard input".
  const std::string& name() const noexcept { return name_; }

 private:
  std::unique_ptr<ByteSource> owned_;
  ByteSource* source_;
  std::string name_;
};

// Cuts an input into lines. "\n", "\r\n" and a lone "\r" each end a line, so
// files from every platform read alike; a last line without an end counts
// too. A UTF-8 byte-order mark at the very start is not part of the first
// line. Reading goes through one buffer that is reused: no allocation per line.
class LineReader {
 public:
  // `beforeWait`, when given, runs each time the reader is about to ask its
  // source for more bytes (a read that may block): a streaming command
  // flushes its output there, so that whoever feeds it line by line gets its
  // answers line by line.
  explicit LineReader(Input& input, std::function<void()> beforeWait = {});

  // The next line without its end, valid until the next call; false at the
  // end of the input. A read error throws InputError naming the input and
  // the last line read whole.
  bool Next(std::string_view& line);

  // The number of the line Next returned last (1-based); 0 before the first.
  std::size_t lineNumber() const noexcept { return lineNumber_; }
  const std::string& name() const noexcept { return input_.name(); }

 private:
  bool Refill();

  Input& input_;
  std::function<void()> beforeWait_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // the unread bytes are buffer_[begin_, end_)
  std::size_t end_ = 0;
  bool atEnd_ = false;
  bool atStart_ = true;        // no byte seen yet: a byte-order mark may come
  bool skipLineFeed_ = false;  // the last line ended in "\r": a "\n" right after belongs to it
  std::size_t lineNumber_ = 0;
};

}  // namespace vantel::cli
