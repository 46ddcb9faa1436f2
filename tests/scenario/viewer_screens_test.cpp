// The viewers' screens of the files the analyzers write stay what they are,
// pixel for pixel, whatever becomes of the reader for files of other tools:
// each file is picked from the list and shown in every display mode and with
// every parameter, and each shown screen is compared through a checksum of
// its pixels with the one recorded when these screens were checked by eye.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "files/touchstone_writer.h"
#include "measurement/sweep_plan.h"
#include "scenario_support.h"
#include "viewers/impedance_viewer.h"
#include "viewers/transmission_viewer.h"

namespace vna {
namespace {

using testing::UserStory;
using testing::WorkDirectory;

constexpr int P = 101;

// FNV-1a over every pixel of the shown page.
std::uint64_t screenChecksum(const Screen& screen) {
  std::uint64_t h = 14695981039346656037ull;
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      h ^= screen.framebuffer().pixel(screen.shownPage(), x, y);
      h *= 1099511628211ull;
    }
  }
  return h;
}

// Values that wander over the scales and wrap their angle: a plausible scan
// whose every point differs from its neighbours.
std::vector<TouchstonePoint> scanOf(int points, bool logSweep, double shift) {
  SweepPlan plan;
  plan.points = static_cast<std::int16_t>(points);
  plan.logSweep = logSweep;
  plan.freqMin = 1000;
  plan.freqMax = 60e6;
  std::vector<TouchstonePoint> scan;
  for (int i = 0; i < points; ++i) {
    scan.push_back({pointFrequency(plan, i), -18 + 15 * std::sin(0.07 * i + shift),
                    std::remainder(3.7 * i + 40 * shift, 360.0)});
  }
  return scan;
}

struct SavedFile {
  std::string name;
  std::string content;
};

std::vector<SavedFile> analyzerFiles() {
  const auto merged = [](ParameterSlot first, ParameterSlot second, int points, bool logSweep) {
    const std::string one = s2pContent(FileOrigin::impedanceAnalyzer, first, scanOf(points, logSweep, 0.0));
    return *mergeS2p(one, second, scanOf(points, logSweep, 1.3)).content;
  };
  return {
      {"log51.s1p", s1pContent(scanOf(51, true, 0.0))},
      {"lin801.s1p", s1pContent(scanOf(801, false, 0.4))},
      {"both401.s2p", merged(ParameterSlot::s11, ParameterSlot::s22, 401, false)},
      {"s22only101.s2p", s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s22, scanOf(101, true, 0.9))},
      {"filter201.s2p", merged(ParameterSlot::s21, ParameterSlot::s12, 201, true)},
      {"s21only801.s2p", s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, scanOf(801, false, 2.1))},
  };
}

// Every screen of one file: each display mode with each parameter.
template <typename Viewer>
std::vector<std::uint64_t> screensOf(const SavedFile& file, int modes) {
  WorkDirectory dir;
  std::ofstream(dir.path() / file.name, std::ios::binary) << file.content;
  HeadlessBackend backend;
  Screen screen{backend};
  UserStory user{backend, screen};
  Viewer viewer(screen, dir.path());
  std::vector<std::uint64_t> shown;
  user.waitForText(20, 8, "   Choose the file to be displayed")
      .moveMouse(600, 24)
      .act([&] { backend.clickAt(backend.now(), 600, 24); }, 0.5)
      .moveMouse(600, 730)
      .waitForText(24, P + 2, "Parameter:");
  for (int parameter = 0; parameter < 3; ++parameter) {
    for (int mode = 0; mode < modes; ++mode) {
      user.act([&] { shown.push_back(screenChecksum(screen)); });
      user.click(2, P + 10).moveMouse(600, 730);
    }
    user.click(24, P + 14).moveMouse(600, 730);
  }
  user.begin(0.0);
  viewer.run();
  EXPECT_TRUE(user.finished()) << file.name;
  return shown;
}

struct Expected {
  std::string_view file;
  std::vector<std::uint64_t> impedanceViewer, transmissionViewer;  // empty: not listed there
};

std::string hexList(const std::vector<std::uint64_t>& values) {
  std::string text;
  char buffer[32];
  for (const std::uint64_t v : values) {
    std::snprintf(buffer, sizeof buffer, "0x%016llxull, ", static_cast<unsigned long long>(v));
    text += buffer;
  }
  return text;
}

TEST(ViewerScreens, TheAnalyzersFilesLookAsTheyAlwaysDid) {
  const std::vector<Expected> expected = {
#include "viewer_screens_expected.inc"
  };
  const std::vector<SavedFile> files = analyzerFiles();
  ASSERT_EQ(files.size(), expected.size());
  for (std::size_t f = 0; f < files.size(); ++f) {
    const SavedFile& file = files[f];
    ASSERT_EQ(file.name, expected[f].file);
    const std::vector<std::uint64_t> impedance = screensOf<ImpedanceViewer>(file, 11);
    EXPECT_EQ(impedance, expected[f].impedanceViewer) << file.name << " impedance: " << hexList(impedance);
    if (file.name.ends_with(".s2p")) {
      const std::vector<std::uint64_t> transmission = screensOf<TransmissionViewer>(file, 3);
      EXPECT_EQ(transmission, expected[f].transmissionViewer)
          << file.name << " transmission: " << hexList(transmission);
    }
  }
}

}  // namespace
}  // namespace vna
