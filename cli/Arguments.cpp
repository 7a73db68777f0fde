#include "Arguments.h"

#include <charconv>
#include <cstddef>

#include "vantel/Errors.h"
#include "vantel/MatchRequest.h"
#include "vantel/Utf8.h"

namespace vantel::cli {

std::optional<std::string_view> ArgumentCursor::PeekOption() {
  if (AtEnd() || optionsEnded_) return std::nullopt;
  const std::string_view arg = args_[next_];
  if (arg == "--") {
    optionsEnded_ = true;
    ++next_;
    return std::nullopt;
  }
  if (arg.size() < 2 || arg[0] != '-') return std::nullopt;
  // A single dash followed by a digit is a negative number, not an option.
  if (arg[1] != '-' && (arg[1] >= '0' && arg[1] <= '9')) return std::nullopt;
  return arg.substr(0, arg.find('='));
}

std::string_view ArgumentCursor::TakeValue(std::string_view option) {
  const std::string_view arg = args_[next_++];
  if (const std::size_t equals = arg.find('='); equals != std::string_view::npos) return arg.substr(equals + 1);
  if (AtEnd()) throw UsageError(std::string(option) + " needs a value");
  return args_[next_++];
}

void ArgumentCursor::TakeFlag(std::string_view option) {
  const std::string_view arg = args_[next_++];
  if (arg.find('=') != std::string_view::npos) throw UsageError(std::string(option) + " takes no value");
}

std::string_view ArgumentCursor::TakeOperand() { return args_[next_++]; }

std::int16_t ParseMethod(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (text.empty() || failure != std::errc() || stop != end || value < INT16_MIN || value > INT16_MAX) {
    throw UsageError("--method: '" + std::string(text) + "' is not a whole number from -32768 to 32767");
  }
  return static_cast<std::int16_t>(value);
}

// The ranges are the library's (vantel/MatchRequest.h); here the text
// becomes a number and a refusal names the option as it was written.
double ParseThreshold(std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  try {
    if (text.empty() || failure != std::errc() || stop != end) throw InvalidOption("threshold", "");
    return CheckedThreshold(value);
  } catch (const InvalidOption&) {
    throw UsageError("--threshold: '" + std::string(text) + "' is not a number from 0 to 100");
  }
}

unsigned ParseThreads(std::string_view text) {
  std::int64_t value = -1;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (text.empty() || failure != std::errc() || stop != end) value = -1;
  try {
    return CheckedThreads(value);
  } catch (const InvalidOption& refused) {
    throw UsageError("--threads: '" + std::string(text) + "' is not " + refused.requirement());
  }
}

std::size_t ParseCount(std::string_view text, std::string_view option, std::size_t most) {
  std::size_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (text.empty() || failure != std::errc() || stop != end || value < 1 || value > most) {
    throw UsageError(std::string(option) + ": '" + std::string(text) + "' is not a whole number from 1 to " +
                     std::to_string(most));
  }
  return value;
}

std::u16string ArgumentToUtf16(std::string_view text, std::string_view what) {
  try {
    return Utf8ToUtf16(text);
  } catch (const InvalidUtf8& bad) {
    throw UsageError(std::string(what) + " is not valid UTF-8 (byte " + std::to_string(bad.offset() + 1) + ")");
  }
}

}  // namespace vantel::cli
