// Calibration as the user does it, with the real impedance-analyzer on a
// virtual X server against the real instrument-simulator on a linked
// pseudo-terminal. The simulator's bridge errors put an uncalibrated reading
// several per cent off; after "calibrate" with an open, a short and the 50
// ohm reference load connected in turn (switched on the simulator's control
// input), a series RLC circuit reads at both markers what its values say.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "tests/e2e/e2e_harness.h"
#include "tests/e2e/settings_for_port.h"

namespace vna::e2e {
namespace {

// 50 ohm, 10 mH and 1 uF in series resonate at 1.59 kHz, between the
// markers of a 51-point log sweep from 200 Hz (908 Hz and 4.13 kHz), so one
// marker reads it capacitive and the other inductive, both well inside the
// bridge's range.
constexpr double kR = 50.0, kL = 10e-3, kC = 1e-6;
constexpr double kPi = 3.14159265358979;
const std::string kDevice = "rlc-series 50 10m 1u";

std::complex<double> deviceImpedance(double frequencyHz) {
  const double w = 2.0 * kPi * frequencyHz;
  return {kR, w * kL - 1.0 / (w * kC)};
}

struct MarkerReading {
  double frequency = 0, magnitude = 0, phase = 0;  // Hz, ohm, degrees
};

// Marker readout row 45 or 46 in display mode 0: frequency, |z| and arg(z).
std::optional<MarkerReading> markerReading(const Image& image, int row) {
  const auto f = numberAt(image, row, 13, 12), z = numberAt(image, row, 29, 14), phase = numberAt(image, row, 46, 14);
  if (!f || !z || !phase) return std::nullopt;
  return MarkerReading{*f, *z, *phase};
}

double degrees(double radians) { return radians * 180.0 / kPi; }

TEST(ImpedanceCalibrationE2e, OpenShortLoadCalibrationCorrectsTheBridgeErrors) {
  const std::string missing = missingTools({"Xvfb", "xdotool", "xwd"});
  if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " (scripts/install-deps.sh installs them)";
  if (::geteuid() != 0) GTEST_SKIP() << "linking /dev/ttyUSB<n> to the simulator needs root";

  VirtualDisplay display;
  ASSERT_TRUE(display.ok()) << display.error();
  SimulatedInstrument instrument(display, kDevice);
  ASSERT_TRUE(instrument.ready()) << instrument.error();
  ProgramRun analyzer(display, programPath("impedance-analyzer"), settingsForPort(instrument.port()));
  ASSERT_TRUE(analyzer.started());
  const auto window = analyzer.findWindow(20.0);
  ASSERT_TRUE(window) << analyzer.output();

  // It scans 401 points by itself; stop that and set 51 points (right
  // clicks on meas/scan: 201, 101, 51) to keep each sweep to a few seconds.
  // Each step waits for the screen to show the program ready for the next.
  const std::string notReady = stopAndSetFiftyOnePoints(*window);
  ASSERT_EQ(notReady, "") << analyzer.output();

  // Uncalibrated, the nominal bridge relation reads the circuit through the
  // simulated bridge's directivity, tracking and source match errors.
  ASSERT_TRUE(window->moveMouse(400, 720));
  ASSERT_TRUE(window->key("space"));
  const auto raw = screenshotWhen(*window, 30.0, sweptToTheRightEdge);
  ASSERT_TRUE(raw) << "the uncalibrated sweep did not complete";
  raw->savePpm(screenshotPath("impedance_calibration_uncalibrated"));
  ASSERT_TRUE(window->key("space"));
  ASSERT_TRUE(screenshotWhen(*window, 10.0, idle)) << "space did not stop the scan";

  // Calibrate: each standard is connected when the program asks for it and
  // measured by one sweep started with the Start button.
  ASSERT_TRUE(clickItem(*window, 900, 25, 1));
  ASSERT_TRUE(screenshotWhen(*window, 10.0, [](const Image& image) { return prompts(image, "open circuit"); }))
      << "no prompt for the open circuit after clicking calibrate";
  const struct {
    std::string standard, nextPrompt;
  } steps[] = {{"open", "with a short circuit"}, {"short", "reference load"}, {"load 50", "calibration done"}};
  for (const auto& step : steps) {
    ASSERT_TRUE(instrument.connect(step.standard)) << instrument.output();
    ASSERT_TRUE(clickItem(*window, 850, 36, 1));
    ASSERT_TRUE(screenshotWhen(*window, 30.0, [&](const Image& image) { return prompts(image, step.nextPrompt); }))
        << "the " << step.standard << " scan did not end with \"" << step.nextPrompt << "\"";
  }

  ASSERT_TRUE(instrument.connect(kDevice)) << instrument.output();
  ASSERT_TRUE(clickItem(*window, 850, 36, 1));
  const auto corrected = screenshotWhen(*window, 30.0, sweptToTheRightEdge);
  ASSERT_TRUE(corrected) << "the calibrated sweep did not complete";
  corrected->savePpm(screenshotPath("impedance_calibration_corrected"));
  EXPECT_EQ(trimmed(textAt(*corrected, 25, 103, 20)), "calibrate: on");

  ASSERT_TRUE(window->key("space"));
  ASSERT_TRUE(screenshotWhen(*window, 10.0, idle)) << "space did not stop the scan";
  ASSERT_TRUE(window->key("Escape"));
  const auto status = analyzer.waitForExit(10.0);
  ASSERT_TRUE(status) << "the analyzer did not end on Escape";
  EXPECT_EQ(*status, 0) << analyzer.output();

  for (const int row : {45, 46}) {
    SCOPED_TRACE("marker readout row " + std::to_string(row) + ": calibrated \"" +
                 utf8(textAt(*corrected, row, 1, 64)) + "\", uncalibrated \"" + utf8(textAt(*raw, row, 1, 64)) + "\"");
    const auto reading = markerReading(*corrected, row);
    const auto rawReading = markerReading(*raw, row);
    ASSERT_TRUE(reading && rawReading);
    ASSERT_EQ(reading->frequency, rawReading->frequency);
    const auto z = deviceImpedance(reading->frequency);
    EXPECT_NEAR(reading->magnitude, std::abs(z), 0.01 * std::abs(z));
    EXPECT_NEAR(reading->phase, degrees(std::arg(z)), 1.0);
    // Were the correction not applied, the reading would stay this far off.
    EXPECT_GT(std::abs(rawReading->magnitude - std::abs(z)), 0.03 * std::abs(z));
  }
}

}  // namespace
}  // namespace vna::e2e
