#include "vantel/MatchRequest.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "vantel/Errors.h"

namespace vantel {

InvalidOption::InvalidOption(std::string option, std::string requirement)
    : std::invalid_argument(option + " must be " + requirement),
      option_(std::move(option)),
      requirement_(std::move(requirement)) {}

std::int16_t CheckedMethod(std::int64_t method) {
  if (method < INT16_MIN || method > INT16_MAX) throw RuntimeError(error::kOverflow);
  return static_cast<std::int16_t>(method);
}

double CheckedThreshold(double threshold) {
  // Written so that NaN fails too.
  if (!(threshold >= 0.0 && threshold <= 100.0)) throw InvalidOption("threshold", "a number from 0 to 100");
  return threshold;
}

std::size_t CheckedTop(std::int64_t top) {
  if (top < 0) throw InvalidOption("top", "0 (all) or a positive whole number");
  return static_cast<std::size_t>(top);
}

unsigned CheckedThreads(std::int64_t threads) {
  if (threads < 0 || threads > kMostThreads) {
    throw InvalidOption("threads", "0 (one per processor) or a whole number from 1 to " + std::to_string(kMostThreads));
  }
  return threads == 0 ? ProcessorCount() : static_cast<unsigned>(threads);
}

unsigned ProcessorCount() noexcept {
  const unsigned count = std::thread::hardware_concurrency();
  return std::clamp<unsigned>(count, 1, static_cast<unsigned>(kMostThreads));
}

MatchOptions Bind(const MatchRequest& request) {
  MatchOptions options;
  options.method = CheckedMethod(request.method);
  options.threshold = CheckedThreshold(request.threshold);
  options.top = CheckedTop(request.top);
  options.threads = CheckedThreads(request.threads);
  return options;
}

}  // namespace vantel
