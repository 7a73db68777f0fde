#include "TextInput.h"

#include <cstring>
#include <istream>

namespace vantel::cli {
namespace {

constexpr std::size_t kFirstBufferSize = std::size_t{64} << 10;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

std::size_t StreamSource::Read(std::span<char> buffer) {
  if (stream_.bad()) throw ReadError("the stream failed");
  stream_.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  if (stream_.bad()) throw ReadError("the stream failed");
  return static_cast<std::size_t>(stream_.gcount());
}

LineReader::LineReader(Input& input, std::function<void()> beforeWait)
    : input_(input), beforeWait_(std::move(beforeWait)), buffer_(kFirstBufferSize) {}

bool LineReader::Refill() {
  if (atEnd_) return false;
  if (beforeWait_) beforeWait_();
  if (begin_ > 0) {  // keep the unread bytes, at the front
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // a line longer than the buffer
  std::size_t count = 0;
  try {
    count = input_.source().Read(std::span(buffer_).subspan(end_));
  } catch (const ReadError& failure) {
    throw InputError(input_.name() + ": read error after line " + std::to_string(lineNumber_) + ": " + failure.what());
  }
  if (count == 0) {
    atEnd_ = true;
    return false;
  }
  end_ += count;
  return true;
}

bool LineReader::Next(std::string_view& line) {
  if (atStart_) {
    while (end_ - begin_ < kByteOrderMark.size() && Refill()) {
    }
    if (std::string_view(buffer_.data() + begin_, end_ - begin_).starts_with(kByteOrderMark)) {
      begin_ += kByteOrderMark.size();
    }
    atStart_ = false;
  }
  if (skipLineFeed_) {
    if (begin_ == end_) Refill();
    if (begin_ < end_ && buffer_[begin_] == '\n') ++begin_;
    skipLineFeed_ = false;
  }
  std::size_t scanned = begin_;  // bytes before it hold no line end
  for (;;) {
    const char* const data = buffer_.data();
    // Two library searches (vectorised) beat one loop testing each byte twice.
    const char* stop = static_cast<const char*>(std::memchr(data + scanned, '\n', end_ - scanned));
    const char* const limit = stop != nullptr ? stop : data + end_;
    if (const void* carriageReturn =
            std::memchr(data + scanned, '\r', static_cast<std::size_t>(limit - (data + scanned)));
        carriageReturn != nullptr) {
      stop = static_cast<const char*>(carriageReturn);
    }
    if (stop != nullptr) {
      const auto at = static_cast<std::size_t>(stop - data);
      line = std::string_view(data + begin_, at - begin_);
      skipLineFeed_ = *stop == '\r';
      begin_ = at + 1;
      ++lineNumber_;
      return true;
    }
    scanned = end_ - begin_;  // an offset from the start of the unread bytes, which Refill moves
    if (!Refill()) break;
    scanned += begin_;
  }
  if (begin_ == end_) return false;
  line = std::string_view(buffer_.data() + begin_, end_ - begin_);  // the last line has no end
  begin_ = end_;
  ++lineNumber_;
  return true;
}

}  // namespace vantel::cli
