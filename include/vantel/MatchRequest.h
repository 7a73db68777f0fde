// The options of a match as a user gives them, and the one place where they
// are checked. The command line, Python, SQL and the server fill a
// MatchRequest from their own arguments and report the error that Bind
// raises in their own idiom; none of them checks a range itself.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "vantel/Match.h"

namespace vantel {

// The most threads a match may ask for.
inline constexpr std::int64_t kMostThreads = 1024;

// One option out of its range. option() is the option's plain name
// ("threshold", "top", "threads"); requirement() what it must be ("a number
// from 0 to 100"); what() both, as "threshold must be a number from 0 to 100".
class InvalidOption : public std::invalid_argument {
 public:
  InvalidOption(std::string option, std::string requirement);
  const std::string& option() const noexcept { return option_; }
  const std::string& requirement() const noexcept { return requirement_; }

 private:
  std::string option_;
  std::string requirement_;
};

struct MatchRequest {
  // Compare's LaMethode; beyond 16 bits is run-time error 6 (Overflow), as
  // Compare's callers see it.
  std::int64_t method = 0;
  double threshold = 80.0;   // 0 to 100; NaN is out of range
  std::int64_t top = 0;      // the best `top` pairs of each query; 0 keeps all
  std::int64_t threads = 0;  // 0: one per processor; else 1 to kMostThreads
};

// Each option on its own, for the surfaces that take them one at a time.
std::int16_t CheckedMethod(std::int64_t method);  // RuntimeError 6 beyond 16 bits
double CheckedThreshold(double threshold);        // InvalidOption "threshold"
std::size_t CheckedTop(std::int64_t top);         // InvalidOption "top" below 0
unsigned CheckedThreads(std::int64_t threads);    // InvalidOption "threads"; 0 becomes ProcessorCount()

// The processors of this machine (at least 1, at most kMostThreads).
unsigned ProcessorCount() noexcept;

// Every option checked, as the matcher takes them.
MatchOptions Bind(const MatchRequest& request);

}  // namespace vantel
