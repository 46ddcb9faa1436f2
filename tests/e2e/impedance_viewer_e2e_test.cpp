// The real impedance-viewer on a virtual X server: the user picks a one-port
// file of a 100 ohm resistor in series with 1 uH from the list, and the
// marker readout shows that impedance; File Access brings the list back and
// Escape ends the program.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/touchstone_writer.h"
#include "tests/e2e/e2e_harness.h"

namespace vna::e2e {
namespace {

constexpr double kPi = 3.14159265358979;
constexpr double kR = 100.0, kL = 1e-6;

std::complex<double> impedanceAt(double f) { return {kR, 2 * kPi * f * kL}; }

// 101 points from 1 to 10 MHz, logarithmic, as the analyzer would save them.
std::string resistorFile() {
  std::vector<TouchstonePoint> points;
  for (int i = 0; i < 101; ++i) {
    const double f = 1e6 * std::pow(10.0, i / 100.0);
    const std::complex<double> s = (impedanceAt(f) - 50.0) / (impedanceAt(f) + 50.0);
    points.push_back({f, 20 * std::log10(std::abs(s)), std::arg(s) * 180 / kPi});
  }
  return s1pContent(points);
}

bool listShown(const Image& image) { return trimmed(textAt(image, 20, 8, 40)) == "Choose the file to be displayed"; }

TEST(ImpedanceViewerE2e, AFilePickedFromTheListReadsItsImpedanceAtTheMarkers) {
  const std::string missing = missingTools({"Xvfb", "xdotool", "xwd"});
  if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " (scripts/install-deps.sh installs them)";

  VirtualDisplay display;
  ASSERT_TRUE(display.ok()) << display.error();
  ProgramRun viewer(display, programPath("impedance-viewer"), [](const std::string& workDir) {
    std::ofstream(std::filesystem::path(workDir) / "res.s1p", std::ios::binary) << resistorFile();
  });
  ASSERT_TRUE(viewer.started());
  const auto window = viewer.findWindow(20.0);
  ASSERT_TRUE(window) << viewer.output();
  ASSERT_TRUE(screenshotWhen(*window, 10.0, listShown)) << "no file list";

  ASSERT_TRUE(window->moveMouse(520, 24));
  pause(0.3);
  ASSERT_TRUE(window->click(520, 24, 1));
  const auto shown = screenshotWhen(*window, 10.0, [](const Image& image) {
    return trimmed(textAt(image, 24, 103, 24)) == "Parameter: s11 (input)";
  });
  ASSERT_TRUE(shown) << "the file was not shown";
  shown->savePpm(screenshotPath("impedance_viewer"));
  for (const int row : {45, 46}) {
    SCOPED_TRACE("marker readout row " + std::to_string(row) + ": \"" + utf8(textAt(*shown, row, 1, 64)) + "\"");
    const auto f = numberAt(*shown, row, 13, 12), z = numberAt(*shown, row, 29, 14), phase = numberAt(*shown, row, 46, 14);
    ASSERT_TRUE(f && z && phase);
    EXPECT_NEAR(*z, std::abs(impedanceAt(*f)), 1e-3 * std::abs(impedanceAt(*f)));
    EXPECT_NEAR(*phase, std::arg(impedanceAt(*f)) * 180 / kPi, 0.01);
  }

  ASSERT_TRUE(clickItem(*window, 850, 40, 1));  // File Access
  ASSERT_TRUE(screenshotWhen(*window, 10.0, listShown)) << "File Access did not bring the list back";
  ASSERT_TRUE(window->key("Escape"));
  const auto status = viewer.waitForExit(10.0);
  ASSERT_TRUE(status) << "the viewer did not end on Escape";
  EXPECT_EQ(*status, 0) << viewer.output();
}

}  // namespace
}  // namespace vna::e2e
