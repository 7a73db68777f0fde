// A request that the server refuses: the HTTP status, and the component's
// error number and text that the JSON body carries.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "vantel/Errors.h"

namespace vantel::server {

class ApiError : public std::runtime_error {
 public:
  ApiError(int status, std::int32_t number, const std::string& message)
      : std::runtime_error(message), status_(status), number_(number) {}

  int status() const noexcept { return status_; }
  std::int32_t number() const noexcept { return number_; }

 private:
  int status_;
  std::int32_t number_;
};

// The common refusals of a request's content.
inline ApiError BadValue(const std::string& message) { return {400, error::kInvalidProcedureCall, message}; }
inline ApiError WrongType(const std::string& message) { return {400, error::kTypeMismatch, message}; }

}  // namespace vantel::server
