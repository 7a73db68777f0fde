// Pieces of command-line parsing shared by the commands.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantel::cli {

// A wrong command line. The message names the argument at fault.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Walks arguments, separating options (--name VALUE or --name=VALUE) from
// operands; "--" ends the options, and "-" alone is an operand.
class ArgumentCursor {
 public:
  explicit ArgumentCursor(std::span<const std::string_view> args) : args_(args) {}

  bool AtEnd() const noexcept { return next_ >= args_.size(); }
  // The next argument's option name (the text before any '='), or nullopt
  // when the next argument is an operand. Passes over a "--".
  std::optional<std::string_view> PeekOption();
  // Consumes the option just peeked and returns its value.
  std::string_view TakeValue(std::string_view option);
  // Consumes the option just peeked, which takes no value.
  void TakeFlag(std::string_view option);
  // Consumes the next argument as an operand.
  std::string_view TakeOperand();

 private:
  std::span<const std::string_view> args_;
  std::size_t next_ = 0;
  bool optionsEnded_ = false;
};

// A method number: a whole number that fits 16 bits.
std::int16_t ParseMethod(std::string_view text);

// --threshold's value: a number from 0 to 100.
double ParseThreshold(std::string_view text);

// --threads' value: 0 (one per processor) to the library's most.
unsigned ParseThreads(std::string_view text);

// A whole number from 1 to `most`; `option` names it in the error.
std::size_t ParseCount(std::string_view text, std::string_view option, std::size_t most);

// Converts a UTF-8 argument; `what` names it in the error.
std::u16string ArgumentToUtf16(std::string_view text, std::string_view what);

}  // namespace vantel::cli
