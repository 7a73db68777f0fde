#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <stdexcept>

#include "StopSignals.h"

namespace vantel::cli {
namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

StopSignals::StopSignals() {
  const sigset_t set = StopSet();
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) throw std::runtime_error("cannot hold back SIGINT and SIGTERM");
}

StopSignals::~StopSignals() {
  const sigset_t set = StopSet();
  // A second signal that came while stopping would otherwise end the program
  // the moment it is let through.
  const timespec now{};
  while (sigtimedwait(&set, nullptr, &now) > 0) {
  }
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int StopSignals::Wait() {
  const sigset_t set = StopSet();
  for (;;) {
    int received = 0;
    if (sigwait(&set, &received) == 0) return received;
  }
}

void StopSignals::Raise() { kill(getpid(), SIGTERM); }

}  // namespace vantel::cli
