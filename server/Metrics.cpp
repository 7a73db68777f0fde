#include "Metrics.h"

#include <algorithm>
#include <charconv>

namespace vantel::server {
namespace {

constexpr std::array<std::string_view, kEndpointCount> kEndpointNames = {"match",   "records", "reconcile", "health",
                                                                         "metrics", "page",    "other"};

std::string Number(double value) {
  std::array<char, 32> text{};
  const auto written = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  return std::string(text.data(), written.ptr);
}

}  // namespace

std::string_view NameOf(Endpoint endpoint) noexcept { return kEndpointNames[static_cast<std::size_t>(endpoint)]; }

void Metrics::Count(Endpoint endpoint, int status, std::chrono::nanoseconds elapsed) noexcept {
  PerEndpoint& counters = endpoints_[static_cast<std::size_t>(endpoint)];
  counters.requests.fetch_add(1, std::memory_order_relaxed);
  if (status >= 400) counters.errors.fetch_add(1, std::memory_order_relaxed);
  const double seconds = std::chrono::duration<double>(elapsed).count();
  const auto bucket = static_cast<std::size_t>(std::lower_bound(kBucketBounds.begin(), kBucketBounds.end(), seconds) -
                                               kBucketBounds.begin());
  buckets_[bucket].fetch_add(1, std::memory_order_relaxed);
  nanoseconds_.fetch_add(static_cast<std::uint64_t>(std::max<std::int64_t>(0, elapsed.count())),
                         std::memory_order_relaxed);
}

std::string Metrics::Render(std::size_t recordsHeld) const {
  std::string text;
  text += "# HELP vantel_requests_total Requests answered, by endpoint.\n";
  text += "# TYPE vantel_requests_total counter\n";
  for (std::size_t at = 0; at < kEndpointCount; ++at) {
    text += "vantel_requests_total{endpoint=\"" + std::string(kEndpointNames[at]) + "\"} " +
            std::to_string(endpoints_[at].requests.load(std::memory_order_relaxed)) + "\n";
  }
  text += "# HELP vantel_request_errors_total Requests answered with an HTTP error (4xx or 5xx), by endpoint.\n";
  text += "# TYPE vantel_request_errors_total counter\n";
  for (std::size_t at = 0; at < kEndpointCount; ++at) {
    text += "vantel_request_errors_total{endpoint=\"" + std::string(kEndpointNames[at]) + "\"} " +
            std::to_string(endpoints_[at].errors.load(std::memory_order_relaxed)) + "\n";
  }
  text += "# HELP vantel_request_duration_seconds The time from a request's arrival to its answer.\n";
  text += "# TYPE vantel_request_duration_seconds histogram\n";
  std::uint64_t cumulative = 0;
  for (std::size_t at = 0; at < buckets_.size(); ++at) {
    cumulative += buckets_[at].load(std::memory_order_relaxed);
    const std::string bound = at < kBucketBounds.size() ? Number(kBucketBounds[at]) : "+Inf";
    text += "vantel_request_duration_seconds_bucket{le=\"" + bound + "\"} " + std::to_string(cumulative) + "\n";
  }
  text += "vantel_request_duration_seconds_sum " +
          Number(static_cast<double>(nanoseconds_.load(std::memory_order_relaxed)) / 1e9) + "\n";
  text += "vantel_request_duration_seconds_count " + std::to_string(cumulative) + "\n";
  text += "# HELP vantel_records The records held for lookups.\n";
  text += "# TYPE vantel_records gauge\n";
  text += "vantel_records " + std::to_string(recordsHeld) + "\n";
  return text;
}

}  // namespace vantel::server
