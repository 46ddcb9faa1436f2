#include "analyzer/measure_host.h"

#include <poll.h>
#include <time.h>

#include <cerrno>
#include <csignal>
#include <cmath>

namespace vna {
namespace {

// Set by the signal handler, which may touch nothing else.
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void askToStop(int) { stopSignal = 1; }

timespec timespecOf(double seconds) {
  const double whole = std::floor(seconds);
  return {static_cast<time_t>(whole), static_cast<long>((seconds - whole) * 1e9)};
}

}  // namespace

SystemHost::SystemHost() {
  struct sigaction action {};
  action.sa_handler = askToStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

double SystemHost::now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void SystemHost::sleep(int ms) { pauseUntil(now() + ms / 1000.0); }

// The reply's bytes wake the wait at once; an interrupt ends it early too.
void SystemHost::waitForActivity(double seconds, const WakeSource& wake) {
  const double until = std::min(now() + seconds, wake.readyAt);
  const double left = until - now();
  if (left <= 0) return;
  if (wake.fd < 0) {
    pauseUntil(until);
    return;
  }
  pollfd fd{wake.fd, POLLIN, 0};
  const timespec ts = timespecOf(left);
  ppoll(&fd, 1, &ts, nullptr);
}

void SystemHost::pauseUntil(double time) {
  const timespec at = timespecOf(time);
  while (!interrupted() && clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

bool SystemHost::interrupted() const { return stopSignal != 0; }

}  // namespace vna
