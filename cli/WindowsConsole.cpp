#include "WindowsConsole.h"

#include <windows.h>

#include <cwchar>
#include <iostream>
#include <string_view>

namespace vantel::cli::windows {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// Consoles of older Windows take at most 64 KiB in one call.
constexpr std::size_t kConsoleChunk = 8 * 1024;
constexpr wchar_t kEndOfInput = 0x1A;  // Ctrl+Z, the end of typed input

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// How many bytes of `text` end with a whole UTF-8 sequence: an incomplete
// one at the end waits for the bytes that follow it.
std::size_t CompletePrefix(std::string_view text) {
  std::size_t start = text.size();
  int continuation = 0;
  while (start > 0 && continuation < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
    --start;
    ++continuation;
  }
  if (start == 0) return text.size();
  const auto lead = static_cast<unsigned char>(text[start - 1]);
  const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return text.size() - (start - 1) < needed ? start - 1 : text.size();
}

// Standard output or standard error: UTF-16 to a console, else the bytes as
// they are. A failed write fails the stream (badbit), so that it is reported.
class OutputBuffer final : public std::streambuf {
 public:
  explicit OutputBuffer(DWORD which)
      : handle_(GetStdHandle(which)), console_(IsConsole(handle_)), buffer_(kBufferSize) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  ~OutputBuffer() override { Flush(true); }
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override {
    if (!Flush(false)) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override { return Flush(false) ? 0 : -1; }

 private:
  // `last`: nothing follows, so an incomplete sequence goes out as it is.
  bool Flush(bool last) {
    const std::string_view written(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    bool ok = true;
    if (console_) {
      pending_.append(written);
      const std::size_t complete = last ? pending_.size() : CompletePrefix(pending_);
      ok = WriteConsoleText(std::string_view(pending_).substr(0, complete));
      pending_.erase(0, complete);
    } else {
      ok = WriteBytes(written);
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return ok;
  }

  bool WriteBytes(std::string_view bytes) const {
    while (!bytes.empty()) {
      const auto size = static_cast<DWORD>(bytes.size() < kBufferSize ? bytes.size() : kBufferSize);
      DWORD done = 0;
      if (WriteFile(handle_, bytes.data(), size, &done, nullptr) == 0 || done == 0) return false;
      bytes.remove_prefix(done);
    }
    return true;
  }

  bool WriteConsoleText(std::string_view utf8) const {
    if (utf8.empty()) return true;
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (units <= 0) return false;
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), units);
    std::wstring_view rest = text;
    while (!rest.empty()) {
      auto size = static_cast<DWORD>(rest.size() < kConsoleChunk ? rest.size() : kConsoleChunk);
      // Keep a surrogate pair in one call.
      if (size < rest.size() && IsHighSurrogate(rest[size - 1])) --size;
      DWORD done = 0;
      if (WriteConsoleW(handle_, rest.data(), size, &done, nullptr) == 0 || done == 0) return false;
      rest.remove_prefix(done);
    }
    return true;
  }

  HANDLE handle_;
  bool console_;
  std::vector<char> buffer_;
  std::string pending_;  // the start of a UTF-8 sequence not yet complete
};

// Standard input: what is typed in a console, as UTF-8, up to a Ctrl+Z; else
// the bytes as they are. The end of a pipe is the end of the input.
class InputBuffer final : public std::streambuf {
 public:
  InputBuffer() : handle_(GetStdHandle(STD_INPUT_HANDLE)), console_(IsConsole(handle_)) {}

 protected:
  int_type underflow() override {
    while (gptr() == egptr()) {
      if (!Fill()) return traits_type::eof();
    }
    return traits_type::to_int_type(*gptr());
  }

 private:
  bool Fill() {
    if (ended_) return false;
    if (console_) {
      std::wstring text = pendingHigh_;
      pendingHigh_.clear();
      wchar_t typed[4096];
      DWORD count = 0;
      if (ReadConsoleW(handle_, typed, 4096, &count, nullptr) == 0 || count == 0) {
        ended_ = true;
      } else {
        text.append(typed, count);
      }
      if (const std::size_t end = text.find(kEndOfInput); end != std::wstring::npos) {
        text.resize(end);
        ended_ = true;
      }
      // A surrogate pair split between two reads is joined again.
      if (!ended_ && !text.empty() && IsHighSurrogate(text.back())) {
        pendingHigh_ = text.back();
        text.pop_back();
      }
      data_ = ToUtf8(text.data(), text.size());
    } else {
      data_.resize(kBufferSize);
      DWORD count = 0;
      if (ReadFile(handle_, data_.data(), static_cast<DWORD>(data_.size()), &count, nullptr) == 0 || count == 0) {
        ended_ = true;
        count = 0;
      }
      data_.resize(count);
    }
    setg(data_.data(), data_.data(), data_.data() + data_.size());
    return !data_.empty() || !ended_;
  }

  HANDLE handle_;
  bool console_;
  bool ended_ = false;
  std::string data_;
  std::wstring pendingHigh_;
};

void AppendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out.push_back(static_cast<char>(point));
  } else if (point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (point >> 6)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else if (point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  }
}

}  // namespace

std::string ToUtf8(const wchar_t* text, std::size_t length) {
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    const wchar_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else {
      // A lone surrogate gets the three bytes of its number: not valid UTF-8.
      AppendUtf8(out, static_cast<char32_t>(unit));
    }
  }
  return out;
}

std::vector<std::string> Utf8Arguments(int argc, const wchar_t* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(ToUtf8(argv[i], std::wcslen(argv[i])));
  return arguments;
}

StandardStreams::StandardStreams()
    : in_(std::make_unique<InputBuffer>()),
      out_(std::make_unique<OutputBuffer>(STD_OUTPUT_HANDLE)),
      err_(std::make_unique<OutputBuffer>(STD_ERROR_HANDLE)),
      savedIn_(std::cin.rdbuf(in_.get())),
      savedOut_(std::cout.rdbuf(out_.get())),
      savedErr_(std::cerr.rdbuf(err_.get())) {}

StandardStreams::~StandardStreams() {
  std::cout.flush();
  std::cerr.flush();
  std::cin.rdbuf(savedIn_);
  std::cout.rdbuf(savedOut_);
  std::cerr.rdbuf(savedErr_);
}

}  // namespace vantel::cli::windows
