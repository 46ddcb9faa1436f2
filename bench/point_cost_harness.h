// What the point cost benchmark measures with: CPU clocks, a real-time
// backend and channel that keep the simulated instrument's own time out
// of the figures, and a scripted user for the set-up on a skipping clock.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/impedance_analyzer.h"
#include "analyzer/sample_conversion.h"
#include "display/layout.h"
#include "platform/headless_backend.h"
#include "platform/x11_backend.h"
#include "reflection/impedance_quantities.h"
#include "reflection/open_short_load.h"
#include "simulator/simulated_channel.h"

namespace {

using namespace vna;

double cpuNow(clockid_t clock) {
  timespec ts{};
  ::clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
double processCpu() {
  return cpuNow(CLOCK_PROCESS_CPUTIME_ID);
}
double threadCpu() {
  return cpuNow(CLOCK_THREAD_CPUTIME_ID);
}
double wallNow() {
  return cpuNow(CLOCK_MONOTONIC);
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
double mean(const std::vector<double>& v) {
  double sum = 0;
  for (double x : v) sum += x;
  return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

// A real window when DISPLAY is set, else the headless backend in real time.
struct RealBackend {
  HeadlessBackend headless{36000.0, HeadlessClock::Real};
  std::unique_ptr<X11Backend> window;
  Backend* backend = &headless;
  RealBackend() {
    if (!std::getenv("DISPLAY")) return;
    window = std::make_unique<X11Backend>("impedance-analyzer");
    if (window->ok()) {
      backend = window.get();
    } else {
      std::fprintf(stderr, "point_cost_benchmark: %s; headless instead\n", window->error().c_str());
    }
  }
  const char* name() const { return backend == &headless ? "headless" : "X11 window"; }
};

// The simulated instrument, its CPU time kept apart, behind a converter
// that hands over what arrived once per 1 ms USB frame, as the FT232R does
// (the model alone would wake the program for every byte).
class TimedChannel : public SerialChannel {
  static constexpr double kFrame = 0.001;
  static double frameStart(double t) { return std::floor(t / kFrame + 1e-6) * kFrame; }

  // Timed by the monotonic clock, which costs no system call (the CPU time
  // clocks do, dozens of times per point): the calls are short and never wait.
  template <typename F>
  auto timed(F f) -> decltype(f()) {
    const double start = wallNow();
    auto result = f();
    spent_ += wallNow() - start;
    return result;
  }

 public:
  TimedChannel(std::function<double()> clock, InstrumentModel& model)
      : inner_([clock = std::move(clock)] { return frameStart(clock()); }, model) {}
  bool open() override {
    return timed([&] { return inner_.open(); });
  }
  void close() override { inner_.close(); }
  bool isOpen() const override { return inner_.isOpen(); }
  void write(std::span<const std::uint8_t> bytes) override {
    timed([&] {
      inner_.write(bytes);
      return 0;
    });
  }
  std::size_t bytesWaiting() override {
    return timed([&] { return inner_.bytesWaiting(); });
  }
  std::size_t read(std::span<std::uint8_t> out) override {
    return timed([&] { return inner_.read(out); });
  }
  bool vanished() const override { return inner_.vanished(); }
  WakeSource wakeSource() const override {
    WakeSource wake = inner_.wakeSource();
    if (std::isfinite(wake.readyAt)) wake.readyAt = frameStart(wake.readyAt) + kFrame;
    return wake;
  }
  std::string name() const override { return inner_.name(); }
  double spent() const { return spent_; }

 private:
  SimulatedChannel inner_;
  double spent_ = 0;
};

// Passes everything to the real backend; while `skipping`, a wait does not
// wait but moves the clock on to its end (or to the next instrument byte),
// so the setting up of the measured scan takes seconds, not minutes. After
// each call the script looks at the program and may act as the user.
class ScriptedBackend : public Backend {
 public:
  explicit ScriptedBackend(Backend& inner) : inner_(inner) {}
  std::function<void(InputState&)> script;
  bool skipping = true;

  void pump(Framebuffer& fb, int shownPage, InputState& input) override {
    inner_.pump(fb, shownPage, input);
    if (script) script(input);
  }
  void waitUntil(double deadline, Framebuffer& fb, int shownPage, InputState& input, bool wakeOnActivity,
                 const WakeSource& wake) override {
    if (skipping) {
      const double target = wakeOnActivity ? std::min(deadline, wake.readyAt) : deadline;
      skew_ += std::max(0.0, target - now());
      pump(fb, shownPage, input);
      return;
    }
    inner_.waitUntil(deadline - skew_, fb, shownPage, input, wakeOnActivity, WakeSource{wake.fd, wake.readyAt - skew_});
    if (script) script(input);
  }
  double now() const override { return inner_.now() + skew_; }
  void movePointer(int x, int y, InputState& input) override { inner_.movePointer(x, y, input); }

 private:
  Backend& inner_;
  double skew_ = 0;
};

// A user pointing at a panel item and pressing the left button, a few input
// reads apart so that the item lights up first, as a hand would do it.
class Clicker {
 public:
  // True when a whole click has been made.
  bool click(Backend& backend, InputState& input, int x, int y) {
    ++reads_;
    switch (phase_) {
      case 0:
        backend.movePointer(x, y, input);
        input.setButtons(0);
        next();
        break;
      case 1:
        if (reads_ >= 6) {
          input.setButtons(1);
          next();
        }
        break;
      case 2:
        if (reads_ >= 6) {
          input.setButtons(0);
          next();
        }
        break;
      default:
        if (reads_ >= 6) {
          phase_ = 0;
          return true;
        }
    }
    return false;
  }
  // Lets go of the button and starts the next click afresh.
  void reset(InputState& input) {
    if (phase_ >= 2) input.setButtons(0);
    phase_ = reads_ = 0;
  }

 private:
  void next() {
    ++phase_;
    reads_ = 0;
  }
  int phase_ = 0, reads_ = 0;
};

int cellX(int column) {
  return (column - 1) * 8 + 4;
}
int cellY(int row) {
  return (row - 1) * 16 + 8;
}

}  // namespace
