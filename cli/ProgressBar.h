// A one-line progress bar for long runs, drawn on a terminal only (the
// caller knows whether it has one: Streams::errIsTerminal).
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace vantel::cli {

// The text of the bar: "[#####.....]  50%  2000/4000 pairs  1.2k pairs/s  2s left".
// Before any time has passed the rate and the time left read "--".
std::string FormatProgress(std::uint64_t done, std::uint64_t total, std::chrono::duration<double> elapsed);

class ProgressBar {
 public:
  // Nothing is drawn before `quietStart` has passed, so that short runs leave no trace.
  ProgressBar(std::ostream& terminal, std::uint64_t total,
              std::chrono::milliseconds quietStart = std::chrono::milliseconds(250));

  // Redraws the bar, at most ten times a second.
  void Update(std::uint64_t done);
  // Takes the bar off its line, so that other output can be written there.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;

  std::ostream& terminal_;
  std::uint64_t total_;
  Clock::time_point start_;
  Clock::time_point firstDraw_;
  Clock::time_point lastDrawn_;
  bool drawn_ = false;
};

}  // namespace vantel::cli
