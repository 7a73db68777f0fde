#include <string>

#include "vantel/Errors.h"

namespace vantel {
namespace {

std::string Describe(std::int32_t number, std::string_view description) {
  return "run-time error " + std::to_string(number) + ": " + std::string(description);
}

}  // namespace

std::string_view DescriptionOf(std::int32_t number) noexcept {
  switch (number) {
    case error::kInvalidProcedureCall: return "Invalid procedure call or argument";
    case error::kOverflow: return "Overflow";
    case error::kOutOfMemory: return "Out of memory";
    case error::kSubscriptOutOfRange: return "Subscript out of range";
    case error::kTypeMismatch: return "Type mismatch";
    case error::kRegexSyntax: return "Syntax error in regular expression";
    default: return "Application-defined or object-defined error";
  }
}

RuntimeError::RuntimeError(std::int32_t number) : RuntimeError(number, DescriptionOf(number)) {}

RuntimeError::RuntimeError(std::int32_t number, std::string_view description)
    : std::runtime_error(Describe(number, description)), number_(number), description_(description) {}

InvalidUtf8::InvalidUtf8(std::size_t offset)
    : std::invalid_argument("invalid UTF-8 at byte " + std::to_string(offset)), offset_(offset) {}

}  // namespace vantel
