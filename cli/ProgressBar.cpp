#include "ProgressBar.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace vantel::cli {
namespace {

constexpr int kBarWidth = 20;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// 950, 12.3k, 4.56M: three significant figures are plenty on a bar.
std::string ShortNumber(double value) {
  static constexpr const char* kSuffixes[] = {"", "k", "M", "G"};
  std::size_t scale = 0;
  while (value >= 999.5 && scale + 1 < std::size(kSuffixes)) {
    value /= 1000.0;
    ++scale;
  }
  char text[32];
  std::snprintf(text, sizeof text, scale == 0 ? "%.0f%s" : "%.3g%s", value, kSuffixes[scale]);
  return text;
}

std::string ShortDuration(double seconds) {
  const auto whole = static_cast<std::uint64_t>(std::ceil(seconds));
  char text[32];
  if (whole < 60) {
    std::snprintf(text, sizeof text, "%llus", static_cast<unsigned long long>(whole));
  } else if (whole < 3600) {
    std::snprintf(text, sizeof text, "%llum%02llus", static_cast<unsigned long long>(whole / 60),
                  static_cast<unsigned long long>(whole % 60));
  } else {
    std::snprintf(text, sizeof text, "%lluh%02llum", static_cast<unsigned long long>(whole / 3600),
                  static_cast<unsigned long long>(whole / 60 % 60));
  }
  return text;
}

}  // namespace

std::string FormatProgress(std::uint64_t done, std::uint64_t total, std::chrono::duration<double> elapsed) {
  const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
  const auto filled = static_cast<int>(fraction * kBarWidth);
  std::string text = "[";
  text.append(static_cast<std::size_t>(filled), '#');
  text.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  char figures[96];
  std::snprintf(figures, sizeof figures, "] %3d%%  %llu/%llu pairs  ", static_cast<int>(fraction * 100.0),
                static_cast<unsigned long long>(done), static_cast<unsigned long long>(total));
  text.append(figures);
  const double seconds = elapsed.count();
  if (seconds <= 0.0 || done == 0) {
    text.append("-- pairs/s  -- left");
    return text;
  }
  const double rate = static_cast<double>(done) / seconds;
  text.append(ShortNumber(rate)).append(" pairs/s  ");
  text.append(ShortDuration(static_cast<double>(total - done) / rate)).append(" left");
  return text;
}

ProgressBar::ProgressBar(std::ostream& terminal, std::uint64_t total, std::chrono::milliseconds quietStart)
    : terminal_(terminal), total_(total), start_(Clock::now()), firstDraw_(start_ + quietStart), lastDrawn_(start_) {}

void ProgressBar::Update(std::uint64_t done) {
  const Clock::time_point now = Clock::now();
  if (now < firstDraw_ || (drawn_ && now - lastDrawn_ < kRedrawInterval)) return;
  // \r returns to the start of the line and ESC [ K clears the rest of it.
  terminal_ << '\r' << FormatProgress(done, total_, now - start_) << "\x1b[K" << std::flush;
  lastDrawn_ = now;
  drawn_ = true;
}

void ProgressBar::Clear() {
  if (!drawn_) return;
  terminal_ << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

}  // namespace vantel::cli
