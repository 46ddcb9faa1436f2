// The real impedance-analyzer against the real instrument-simulator: the
// simulator serves a pseudo-terminal linked as /dev/ttyUSB<n>, the analyzer
// opens it as its configured port, and the user sets 51 points per scan and
// lets a sweep run.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <unistd.h>

#include "tests/e2e/e2e_harness.h"
#include "tests/e2e/settings_for_port.h"

namespace vna::e2e {
namespace {

constexpr Rgb kTrace2{84, 252, 84};  // palette colour 10
constexpr Rgb kPlotBackground{0, 76, 76};

// Trace 2 (arg z, within a few degrees of 0 for a resistor measured without
// calibration, on a 225 to -225 scale) runs near the middle row, y = 348,
// 1.53 pixels per degree. Counts the sampled columns it crosses.
int trace2Columns(const Image& image) {
  int columns = 0;
  for (int x = 10; x <= 800; x += 10) {
    bool found = false;
    for (int y = 330; y <= 366 && !found; ++y) found = image.at(x, y) == kTrace2;
    columns += found;
  }
  return columns;
}

bool waitFor(const WindowDriver& window, double seconds, const std::function<bool(const Image&)>& shows) {
  return screenshotWhen(window, seconds, shows).has_value();
}

TEST(ImpedanceSweepE2e, ASweepOf51PointsAgainstTheSimulatorIsDrawnAcrossThePlot) {
  const std::string missing = missingTools({"Xvfb", "xdotool"});
  if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " (scripts/install-deps.sh installs them)";
  if (::geteuid() != 0) GTEST_SKIP() << "linking /dev/ttyUSB<n> to the simulator needs root";

  VirtualDisplay display;
  ASSERT_TRUE(display.ok()) << display.error();
  SimulatedInstrument simulator(display, "resistor 100");
  ASSERT_TRUE(simulator.ready()) << simulator.error();
  const int port = simulator.port();

  ProgramRun analyzer(display, programPath("impedance-analyzer"), settingsForPort(port));
  ASSERT_TRUE(analyzer.started());
  const auto window = analyzer.findWindow(20.0);
  ASSERT_TRUE(window) << analyzer.output();

  // The program scans 401 points by itself once started; stop it, set
  // meas/scan to 51 with three right clicks (401, 201, 101, 51) and start.
  // Keys pressed during the splash or an acquisition are lost, so each step
  // waits until the screen shows the program ready for it.
  ASSERT_TRUE(waitFor(*window, 40.0, scanning)) << "the scan never started:\n" << analyzer.output();
  ASSERT_TRUE(window->key("space"));
  ASSERT_TRUE(waitFor(*window, 10.0, idle)) << "space did not stop the scan";
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(window->moveMouse(900, 328));
    pause(0.3);
    ASSERT_TRUE(window->click(900, 328, 3));
    pause(0.5);
  }
  ASSERT_TRUE(window->moveMouse(400, 720));
  pause(0.3);
  ASSERT_TRUE(window->key("space"));
  ASSERT_TRUE(waitFor(*window, 10.0, scanning)) << "space did not start the scan";
  // 51 points of 40 ms, 37 ms apart: about 4 s for the sweep.
  const auto swept = waitFor(*window, 30.0, [](const Image& image) { return trace2Columns(image) == 80; });
  const auto shot = window->screenshot(std::string(VNA_BINARY_DIR) + "/e2e-screenshots/impedance_sweep_51.ppm");
  ASSERT_TRUE(shot);
  ASSERT_TRUE(window->key("space"));
  ASSERT_TRUE(waitFor(*window, 10.0, idle));
  ASSERT_TRUE(window->key("Escape"));
  const auto status = analyzer.waitForExit(10.0);
  ASSERT_TRUE(status) << "the analyzer did not end on Escape";
  EXPECT_EQ(*status, 0) << analyzer.output();

  // A complete scan draws its traces over the whole width; points not yet
  // measured leave the plot background.
  EXPECT_TRUE(swept) << "trace 2 is not drawn across the plot: the sweep did not complete";
  EXPECT_EQ(shot->at(400, 300), kPlotBackground);
  EXPECT_EQ(trace2Columns(*shot), 80);
  // The meas/scan field reads 51: its digits sit at columns 113-115 of row 21.
  EXPECT_TRUE(shot->anyOtherThan(8 * 113, 320, 8 * 115 - 1, 335, Rgb{0, 0, 0}));
}

}  // namespace
}  // namespace vna::e2e
