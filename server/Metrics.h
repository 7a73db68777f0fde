// What the server counts, for GET /metrics in Prometheus' text format:
// requests and errors by endpoint, a histogram of the time requests take,
// and the records held. Counting is lock-free; a scrape reads each counter
// once, so its figures may be a request apart from each other, never torn.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantel::server {

enum class Endpoint : std::uint8_t { Match, Records, Reconcile, Health, Metrics, Page, Other };
inline constexpr std::size_t kEndpointCount = 7;
std::string_view NameOf(Endpoint endpoint) noexcept;  // "match", "reconcile", ...

class Metrics {
 public:
  // The upper bounds of the histogram's buckets, in seconds (then +Inf).
  static constexpr std::array<double, 12> kBucketBounds = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                           0.05,   0.1,   0.25,   0.5,   1.0,  2.5};

  // A request answered with `status` after `elapsed`.
  void Count(Endpoint endpoint, int status, std::chrono::nanoseconds elapsed) noexcept;

  std::string Render(std::size_t recordsHeld) const;

 private:
  struct PerEndpoint {
    std::atomic<std::uint64_t> requests{0}, errors{0};
  };
  std::array<PerEndpoint, kEndpointCount> endpoints_;
  std::array<std::atomic<std::uint64_t>, kBucketBounds.size() + 1> buckets_{};  // not cumulative; the last is +Inf
  std::atomic<std::uint64_t> nanoseconds_{0};
};

}  // namespace vantel::server
