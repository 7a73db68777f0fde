// Errors raised by the Vantel component.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantel {

// The component's numbered run-time errors. The numbers and descriptions are
// those that automation clients see as Err.Number and Err.Description.
namespace error {
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kRegexSyntax = 5017;
}  // namespace error

// The description of a run-time error number ("Overflow" for 6); a generic
// text for numbers the component does not raise itself.
std::string_view DescriptionOf(std::int32_t number) noexcept;

// A run-time error: ends the public call that raised it and leaves the object usable.
class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(std::int32_t number);
  RuntimeError(std::int32_t number, std::string_view description);

  std::int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  std::int32_t number_;
  std::string description_;
};

// A UTF-8 argument that is not valid UTF-8. offset() is the index of the first bad byte.
class InvalidUtf8 : public std::invalid_argument {
 public:
  explicit InvalidUtf8(std::size_t offset);
  std::size_t offset() const noexcept { return offset_; }

 private:
  std::size_t offset_;
};

}  // namespace vantel
