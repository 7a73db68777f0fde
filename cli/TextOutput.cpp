#include "TextOutput.h"

#include <ostream>

namespace vantel::cli {

void StreamSink::Write(std::string_view bytes) {
  stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!stream_) throw WriteError("the stream failed");
}

Output::Output(ByteSink& sink, std::string name) : sink_(sink), name_(std::move(name)) {
  buffer_.reserve(kFlushSize + 4096);
}

void Output::Flush() {
  if (!failure_.empty()) throw OutputError(failure_);
  if (buffer_.empty()) return;
  try {
    sink_.Write(buffer_);
  } catch (const WriteError& failure) {
    failure_ = "cannot write to " + name_ + ": " + failure.what();
    buffer_.clear();
    throw OutputError(failure_);
  }
  buffer_.clear();
}

}  // namespace vantel::cli
