// The output side of every command: a buffer over a sink of bytes, and how a
// failed write is reported. The first write that fails ends the command (a
// closed pipe, a full disk, an I/O error): the buffer turns every later use
// into the same error, so no command can go on computing for an output that
// is gone.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantel::cli {

// A sink of bytes failed; the message is the system's reason ("Broken pipe").
class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed write to a named output, as reported to the user:
// "cannot write to standard output: No space left on device".
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all of `bytes` or throws WriteError.
  virtual void Write(std::string_view bytes) = 0;
};

// The bytes go to a standard stream (a string stream in tests, or any stream
// an in-process caller has). A stream that fails is a write error.
class StreamSink final : public ByteSink {
 public:
  explicit StreamSink(std::ostream& stream) : stream_(stream) {}
  void Write(std::string_view bytes) override;

 private:
  std::ostream& stream_;
};

// Buffered text output. Appending costs no allocation once the buffer has
// grown; the buffer goes to the sink whenever it holds kFlushSize bytes, and
// on Flush.
class Output {
 public:
  static constexpr std::size_t kFlushSize = std::size_t{32} << 10;

  Output(ByteSink& sink, std::string name);

  void Put(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kFlushSize) Flush();
  }
  void Put(char c) {
    buffer_.push_back(c);
    if (buffer_.size() >= kFlushSize) Flush();
  }
  // Writes what the buffer holds. Throws OutputError when the sink fails,
  // now or at any earlier write.
  void Flush();

  bool failed() const noexcept { return !failure_.empty(); }
  const std::string& name() const noexcept { return name_; }

 private:
  ByteSink& sink_;
  std::string name_;
  std::string buffer_;
  std::string failure_;  // the message of the first failed write
};

}  // namespace vantel::cli
