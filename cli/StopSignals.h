// SIGINT and SIGTERM as requests to stop: held back from the thread that
// makes this and from every thread it starts afterwards, and taken by Wait,
// so that no worker is interrupted in the middle of a request.
#pragma once

namespace vantel::cli {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();  // lets the signals through again
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Waits for one of them and returns its number.
  int Wait();
  // From any thread: ends Wait as a SIGTERM would.
  static void Raise();
};

}  // namespace vantel::cli
