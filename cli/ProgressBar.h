// A one-line progress bar for long runs, drawn on a terminal only.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace vantel::cli {

// True when `stream` is the process's standard output or standard error and
// that is a terminal.
bool IsTerminal(const std::ostream& stream);

// The text of the bar: "[#####.....]  50%  2000/4000 pairs  1.2k pairs/s  2s left".
// Before any time has passed the rate and the time left read "--".
std::string FormatProgress(std::uint64_t done, std::uint64_t total, std::chrono::duration<double> elapsed);

class ProgressBar {
 public:
  ProgressBar(std::ostream& terminal, std::uint64_t total);

  // Redraws the bar, at most ten times a second.
  void Update(std::uint64_t done);
  // Takes the bar off its line, so that other output can be written there.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;

  std::ostream& terminal_;
  std::uint64_t total_;
  Clock::time_point start_;
  Clock::time_point lastDrawn_;
  bool drawn_ = false;
};

}  // namespace vantel::cli
