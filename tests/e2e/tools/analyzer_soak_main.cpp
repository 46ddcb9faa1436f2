// analyzer-soak SWEEPS
//
// Runs impedance-analyzer in an X11 window on a private Xvfb against
// instrument-simulator for SWEEPS sweeps of 51 points and prints the
// program's resident memory (VmRSS of /proc/PID/status) and CPU time
// (utime + stime of /proc/PID/stat) at the start, every 100 sweeps and at
// the end, the CPU also as a share of one core over each interval.
//
// Sweeps are counted by the instrument: it counts every acquisition it is
// asked for, and a sweep is 51 of them. Counting starts once the program
// scans 51 points, so the 401-point scan it starts with is left out.
// Exit status 0 when every sweep was made and the program ended on Esc;
// 1 when it stopped scanning, died or did not end.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "files/settings_file.h"
#include "tests/e2e/e2e_harness.h"

namespace {

using namespace vna::e2e;
using Clock = std::chrono::steady_clock;

constexpr int kPoints = 51;

struct Usage {
  long rssKb = -1;
  double cpuSeconds = -1;
};

Usage usageOf(pid_t pid) {
  Usage u;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) u.rssKb = std::atol(line.c_str() + 6);
  std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
  // The command name in parentheses may hold blanks: count fields after it.
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return u;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) {
      stime = std::stoull(field);
      u.cpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
      break;
    }
  }
  return u;
}

int fail(const std::string& why) {
  std::fprintf(stderr, "analyzer-soak: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const long sweeps = argc == 2 ? std::atol(argv[1]) : 0;
  if (argc != 2 || sweeps < 1) {
    std::fprintf(stderr, "usage: analyzer-soak SWEEPS   (sweeps of %d points, 1 or more)\n", kPoints);
    return 2;
  }
  if (geteuid() != 0) return fail("linking /dev/ttyUSB<n> to the simulator needs root");
  VirtualDisplay display;
  if (!display.ok()) return fail(display.error());
  SimulatedInstrument instrument(display, "rlc-series 50 10m 1u");
  if (!instrument.ready()) return fail(instrument.error());
  const int port = instrument.port();
  ProgramRun analyzer(display, programPath("impedance-analyzer"), [port](const std::string& dir) {
    vna::writePortNumber(std::filesystem::path(dir) / vna::kSettingsFileName, static_cast<std::int16_t>(port));
  });
  if (!analyzer.started()) return fail("impedance-analyzer did not start");
  const auto window = analyzer.findWindow(20.0);
  if (!window) return fail("impedance-analyzer showed no window: " + analyzer.output());
  if (const std::string problem = stopAndSetFiftyOnePoints(*window); !problem.empty()) return fail(problem);
  window->moveMouse(400, 720);
  pause(0.3);
  if (!window->key("space") || !screenshotWhen(*window, 10.0, scanning)) return fail("space did not start the scan");

  const auto first = instrument.acquisitions();
  if (!first) return fail("the simulator does not tell its acquisitions");
  const auto start = Clock::now();
  std::printf("analyzer-soak: impedance-analyzer (pid %d) on %s, /dev/ttyUSB%d, %d points per sweep, %ld sweeps\n",
              static_cast<int>(analyzer.pid()), display.name().c_str(), port, kPoints, sweeps);
  std::printf("%7s %9s %10s %10s %13s\n", "sweeps", "seconds", "RSS kB", "CPU s", "CPU % of core");
  Usage last = usageOf(analyzer.pid());
  double lastTime = 0;
  std::printf("%7d %9.1f %10ld %10.2f %13s\n", 0, 0.0, last.rssKb, last.cpuSeconds, "-");
  std::fflush(stdout);
  const Usage firstUsage = last;

  long reported = 0, lastCount = *first;
  auto progressAt = Clock::now();
  for (;;) {
    pause(1.0);
    if (analyzer.waitForExit(0.0)) return fail("impedance-analyzer ended: " + analyzer.output());
    const auto count = instrument.acquisitions();
    if (!count) return fail("the simulator does not tell its acquisitions");
    if (*count != lastCount) progressAt = Clock::now(), lastCount = *count;
    if (std::chrono::duration<double>(Clock::now() - progressAt).count() > 20.0)
      return fail("the program stopped scanning after " + std::to_string((*count - *first) / kPoints) + " sweeps");
    const long done = (*count - *first) / kPoints;
    const bool end = done >= sweeps;
    if (done / 100 > reported / 100 || end) {
      const long at = end ? sweeps : done / 100 * 100;
      const Usage u = usageOf(analyzer.pid());
      const double t = std::chrono::duration<double>(Clock::now() - start).count();
      std::printf("%7ld %9.1f %10ld %10.2f %13.1f\n", at, t, u.rssKb, u.cpuSeconds,
                  100.0 * (u.cpuSeconds - last.cpuSeconds) / (t - lastTime));
      std::fflush(stdout);
      last = u;
      lastTime = t;
      reported = done;
    }
    if (end) break;
  }
  std::printf("analyzer-soak: RSS %+ld kB from the start, CPU %.1f %% of a core over %.0f s (%.1f ms per point)\n",
              last.rssKb - firstUsage.rssKb, 100.0 * (last.cpuSeconds - firstUsage.cpuSeconds) / lastTime, lastTime,
              1000.0 * (last.cpuSeconds - firstUsage.cpuSeconds) / static_cast<double>(sweeps * kPoints));
  window->key("space");
  if (!screenshotWhen(*window, 10.0, idle)) return fail("space did not stop the scan");
  window->key("Escape");
  const auto status = analyzer.waitForExit(10.0);
  if (!status) return fail("impedance-analyzer did not end on Esc");
  if (*status != 0) return fail("impedance-analyzer ended with status " + std::to_string(*status));
  return 0;
}
