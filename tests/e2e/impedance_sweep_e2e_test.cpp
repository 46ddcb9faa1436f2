// The real impedance-analyzer against the real instrument-simulator: the
// simulator serves a pseudo-terminal linked as /dev/ttyUSB<n>, the analyzer
// opens it as its configured port, and the user sets 51 points per scan and
// lets a sweep run.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "files/settings_file.h"
#include "tests/e2e/e2e_harness.h"

namespace vna::e2e {
namespace {

constexpr Rgb kTrace2{84, 252, 84};  // palette colour 10
constexpr Rgb kPlotBackground{0, 76, 76};

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// A port number no device uses, so the simulator can take it.
int freePort() {
  for (int n = 40; n < 200; ++n)
    if (!std::filesystem::exists("/dev/ttyUSB" + std::to_string(n)) &&
        !std::filesystem::is_symlink("/dev/ttyUSB" + std::to_string(n)))
      return n;
  return -1;
}

TEST(ImpedanceSweepE2e, ASweepOf51PointsAgainstTheSimulatorIsDrawnAcrossThePlot) {
  const std::string missing = missingTools({"Xvfb", "xdotool"});
  if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " (scripts/install-deps.sh installs them)";
  if (::geteuid() != 0) GTEST_SKIP() << "linking /dev/ttyUSB<n> to the simulator needs root";
  const int port = freePort();
  ASSERT_GE(port, 0);

  VirtualDisplay display;
  ASSERT_TRUE(display.ok()) << display.error();
  ProgramRun simulator(display, programPath("instrument-simulator"), {},
                       {"--device", "resistor 100", "--port", std::to_string(port)});
  ASSERT_TRUE(simulator.started());
  const std::string link = "/dev/ttyUSB" + std::to_string(port);
  for (int i = 0; i < 50 && !std::filesystem::is_symlink(link); ++i) pause(0.1);
  ASSERT_TRUE(std::filesystem::is_symlink(link)) << "the simulator did not link " << link << ":\n"
                                                  << simulator.output();

  ProgramRun analyzer(display, programPath("impedance-analyzer"), [port](const std::string& workDir) {
    ASSERT_TRUE(writePortNumber(std::filesystem::path(workDir) / kSettingsFileName, static_cast<std::int16_t>(port)));
  });
  ASSERT_TRUE(analyzer.started());
  const auto window = analyzer.findWindow(20.0);
  ASSERT_TRUE(window) << analyzer.output();

  // The program scans 401 points by itself once started; stop it, set
  // meas/scan to 51 with three right clicks (401, 201, 101, 51) and start.
  pause(6.0);
  ASSERT_TRUE(window->key("space"));
  pause(1.0);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(window->moveMouse(900, 328));
    pause(0.3);
    ASSERT_TRUE(window->click(900, 328, 3));
    pause(0.5);
  }
  ASSERT_TRUE(window->moveMouse(400, 720));
  pause(0.3);
  ASSERT_TRUE(window->key("space"));
  // 51 points of 40 ms, 37 ms apart: about 4 s.
  pause(7.0);
  const auto shot = window->screenshot(std::string(VNA_BINARY_DIR) + "/e2e-screenshots/impedance_sweep_51.ppm");
  ASSERT_TRUE(shot);
  ASSERT_TRUE(window->key("space"));
  pause(1.0);
  ASSERT_TRUE(window->key("Escape"));
  const auto status = analyzer.waitForExit(10.0);
  ASSERT_TRUE(status) << "the analyzer did not end on Escape";
  EXPECT_EQ(*status, 0) << analyzer.output();

  // A complete scan draws its traces over the whole width; points not yet
  // measured leave the plot background. Trace 2 (arg z, within a few degrees
  // of 0 for a resistor measured without calibration, on a 225 to -225
  // scale) runs near the middle row, y = 348, 1.53 pixels per degree.
  EXPECT_EQ(shot->at(400, 300), kPlotBackground);
  int trace2Columns = 0;
  for (int x = 10; x <= 800; x += 10) {
    bool found = false;
    for (int y = 330; y <= 366 && !found; ++y) found = shot->at(x, y) == kTrace2;
    trace2Columns += found;
  }
  EXPECT_EQ(trace2Columns, 80) << "trace 2 is not drawn across the plot: the sweep did not complete";
  // The meas/scan field reads 51: its digits sit at columns 113-115 of row 21.
  EXPECT_TRUE(shot->anyOtherThan(8 * 113, 320, 8 * 115 - 1, 335, Rgb{0, 0, 0}));
}

}  // namespace
}  // namespace vna::e2e
