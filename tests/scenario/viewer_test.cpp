// The viewers show what the analyzers saved: a measurement is saved by an
// analyzer on the virtual instrument, then the viewer is started in the same
// directory, the user picks the file from the list, and the viewer shows the
// same quantities at the same markers.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "display/layout.h"
#include "files/touchstone_writer.h"
#include "platform/numeric.h"
#include "scenario_support.h"
#include "viewers/impedance_viewer.h"
#include "viewers/transmission_viewer.h"

namespace vna {
namespace {

using testing::cellX;
using testing::cellY;
using testing::idealInstrument;
using testing::plotPixels;
using testing::simulatedInstrument;
using testing::stopFirstScan;
using testing::UserStory;
using testing::WorkDirectory;

constexpr int P = 101;
// The first name of the file list, and where the display shows "Parameter:".
constexpr int kFirstNameX = 600, kFirstNameY = 24;

struct Saved {
  std::vector<double> frequency, trace1, trace2;
};

// An analyzer on the virtual instrument measures `device` over 51 points
// and saves it under `name` with the Save As dialog's `kindSteps`-th type.
template <typename Analyzer>
Saved measureAndSave(const WorkDirectory& dir, const Device& device, InstrumentSettings settings,
                     const std::string& name, int kindSteps, const std::function<void(UserStory&)>& setUp) {
  HeadlessBackend backend;
  Screen screen{backend};
  InstrumentModel model(settings);
  model.setDevice(device);
  Analyzer analyzer{screen, simulatedInstrument(backend, model), dir.settings()};
  UserStory user{backend, screen};
  stopFirstScan(user, screen);
  user.click(21, P + 14).click(21, P + 14);  // 401 -> 801 -> 51 points
  setUp(user);
  int acquisitions = 0;
  user.act([&] { acquisitions = model.acquisitions(); })
      .click(36, P + 4)
      .moveMouse(600, 730)
      .waitFor("a whole sweep", [&] { return model.acquisitions() > acquisitions + 52; })
      .type(" ")
      .waitForText(36, P + 2, " Start");
  user.click(29, P + 6).waitForText(8, 10, "file name :");
  user.moveMouse(cellX(30), cellY(8)).type(name + "\r");
  for (int i = 0; i < kindSteps; ++i) user.click(10, 25);
  user.click(12, 25).moveMouse(600, 730).waitForText(14, P + 2, "freq  Max:");
  user.begin(0.0);
  analyzer.run();
  EXPECT_TRUE(user.finished());
  const ScanRecord& r = analyzer.record();
  Saved saved;
  for (int i = 0; i < analyzer.plan().points; ++i) {
    saved.frequency.push_back(r.frequency[static_cast<std::size_t>(i)]);
    saved.trace1.push_back(r.trace1[static_cast<std::size_t>(i)]);
    saved.trace2.push_back(r.trace2[static_cast<std::size_t>(i)]);
  }
  return saved;
}

struct ViewerStory : ::testing::Test {
  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen{backend};
  UserStory user{backend, screen};

  void pickFirstFile() {
    user.waitForText(20, 8, "   Choose the file to be displayed")
        .moveMouse(kFirstNameX, kFirstNameY)
        .act([this] { backend.clickAt(backend.now(), kFirstNameX, kFirstNameY); }, 0.5)
        .moveMouse(600, 730)
        .waitForText(24, P + 2, "Parameter:");
  }
  template <typename Viewer>
  void play(Viewer& viewer) {
    user.begin(0.0);
    viewer.run();
    ASSERT_TRUE(user.finished());
  }
};

// |z| and arg(z) of a series circuit, uncalibrated, in the analyzer's mode 0:
// the file keeps s11 in dB and degrees to 7 digits, the viewer turns it back
// into the impedance the analyzer showed.
TEST_F(ViewerStory, TheImpedanceViewerShowsWhatTheImpedanceAnalyzerSaved) {
  const Saved saved = measureAndSave<ImpedanceAnalyzer>(dir, Device::seriesRlc(50, 10e-3, 1e-6), InstrumentSettings{},
                                                        "rlc", 1, [](UserStory&) {});
  ASSERT_EQ(saved.trace1.size(), 51u);
  ImpedanceViewer viewer(screen, dir.path());
  std::string parameter, points, listed;
  user.act([&] { listed = screen.textAt(2, 63, 8); });
  pickFirstFile();
  user.act([&] {
    parameter = screen.textAt(24, P + 2, 24);
    points = screen.textAt(21, P + 2, 14);
  });
  // The range is the file's: the zoom key leaves it and the traces alone.
  int tracePixelsAfterZoomKey = 0;
  user.type("\x16").act([&] { tracePixelsAfterZoomKey = plotPixels(screen, colour::kTrace1); });
  // Both ports: s22, never saved, is "0.0 0.0", a short, beside s11.
  std::vector<double> bothInput, bothOutput;
  user.click(24, P + 14).click(24, P + 14).moveMouse(600, 730).act([&] {
    bothInput.assign(viewer.record().trace1.begin(), viewer.record().trace1.begin() + 51);
    bothOutput.assign(viewer.record().memoryTrace1.begin(), viewer.record().memoryTrace1.begin() + 51);
  });
  ASSERT_NO_FATAL_FAILURE(play(viewer));

  EXPECT_GT(tracePixelsAfterZoomKey, 300);
  EXPECT_EQ(viewer.plan().freqMin, saved.frequency.front());

  EXPECT_EQ(listed, "rlc.s2p ");
  EXPECT_EQ(parameter, "Parameter: s11 (input)  ");
  EXPECT_EQ(points, "meas/scan: 51 ");
  EXPECT_TRUE(viewer.hooks().twoPort());
  const ScanRecord& r = viewer.record();
  for (std::size_t i = 0; i < 51; ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    EXPECT_NEAR(r.frequency[i], saved.frequency[i], 1e-9 * saved.frequency[i]);
    EXPECT_NEAR(r.trace1[i], saved.trace1[i], 1e-4 * saved.trace1[i]);
    EXPECT_NEAR(r.trace2[i], saved.trace2[i], 1e-3);
    EXPECT_NEAR(bothInput[i], saved.trace1[i], 1e-4 * saved.trace1[i]);
    EXPECT_LT(bothOutput[i], 1e-3);
  }
}

// A low-pass filter's s21 over a linear sweep: gain and phase as the
// transmission analyzer showed them, then the delay from the file's phases
// at the middle of the aperture; s12, never saved, reads 0 dB.
TEST_F(ViewerStory, TheTransmissionViewerShowsGainPhaseAndDelayOfWhatTheAnalyzerSaved) {
  const Device filter = Device::lowpassLc(10e6, 5);
  const Saved saved =
      measureAndSave<TransmissionAnalyzer>(dir, filter, idealInstrument(100), "filter", 0, [](UserStory& user) {
        user.click(20, P + 10);  // linear
        user.moveMouse(cellX(P + 14), cellY(14)).type("51m");
        user.moveMouse(cellX(P + 14), cellY(15)).type("1m");
      });
  ASSERT_EQ(saved.trace1.size(), 51u);
  TransmissionViewer viewer(screen, dir.path());
  std::vector<double> gain, phase, delay, s12Gain;
  std::string sweep, aperture, both;
  int secondCurvePixels = 0;
  pickFirstFile();
  user.act([&] {
    gain.assign(viewer.record().trace1.begin(), viewer.record().trace1.begin() + 51);
    phase.assign(viewer.record().trace2.begin(), viewer.record().trace2.begin() + 51);
    sweep = screen.textAt(20, P + 6, 13);
  });
  user.click(24, P + 14).click(24, P + 14).moveMouse(600, 730);  // s12, then both
  user.act([&] {
    both = screen.textAt(24, P + 12, 10);
    secondCurvePixels = plotPixels(screen, colour::kMemory1);
    s12Gain.assign(viewer.record().memoryTrace1.begin(), viewer.record().memoryTrace1.begin() + 51);
  });
  std::string back;
  user.click(24, P + 14).moveMouse(600, 730).act([&] { back = screen.textAt(24, P + 2, 23); });  // back to s21
  user.click(2, P + 10).click(2, P + 10).moveMouse(600, 730);  // gain & delay
  user.act([&] {
    delay.assign(viewer.record().trace2.begin(), viewer.record().trace2.begin() + 51);
    aperture = screen.textAt(22, P + 1, 15);
  });
  ASSERT_NO_FATAL_FAILURE(play(viewer));

  EXPECT_EQ(sweep, "sweep: linear");
  EXPECT_EQ(both, " s21 & s12");
  EXPECT_EQ(back, "Parameter: s21         ");
  EXPECT_GT(secondCurvePixels, 300);
  EXPECT_EQ(aperture, "delay aper: 4% ");
  for (std::size_t i = 0; i < 51; ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    EXPECT_NEAR(gain[i], saved.trace1[i], 1e-4);
    EXPECT_NEAR(phase[i], saved.trace2[i], 1e-3);
    EXPECT_EQ(s12Gain[i], 0.0);
  }
  // The delay at point i spans points i - 1 and i + 1 (1 MHz apart each);
  // up to 15 MHz, where the filter still passes enough for the noise to
  // leave the phase steps alone.
  for (std::size_t i = 1; i < 15; ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    const Complex step = responseAt(filter, 1e6 * static_cast<double>(i + 2)) *
                         std::conj(responseAt(filter, 1e6 * static_cast<double>(i)));
    EXPECT_NEAR(delay[i], -std::arg(step) / (2 * kPi * 2e6) * 1e6, 1e-4);
  }
}

// A two-port file saved with s22 only holds "0.0 0.0" for s11: a total
// reflection at angle 0, whose impedance formula divides by zero. The viewer
// shows it as R = X = 0 (kept just above zero), then s22 as the file says.
TEST_F(ViewerStory, AnS22OnlyFileShowsItsEmptyS11AsAShortAndItsS22) {
  std::vector<TouchstonePoint> points;
  for (int i = 0; i < 51; ++i) points.push_back({1e6 + 1e5 * i, -9.5424250943932, 0.0});  // 100 ohm on 50 ohm
  {
    std::ofstream out(dir.path() / "out.s2p", std::ios::binary);
    out << s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s22, points);
  }
  ImpedanceViewer viewer(screen, dir.path());
  std::string input1, output1;
  pickFirstFile();
  user.act([&] { input1 = screen.textAt(45, 29, 14); });
  user.click(24, P + 14).moveMouse(600, 730);  // s22 (output)
  user.act([&] { output1 = screen.textAt(45, 29, 14); });
  ASSERT_NO_FATAL_FAILURE(play(viewer));

  EXPECT_EQ(input1, "         0.000");
  EXPECT_EQ(output1, "       100.000");
  EXPECT_EQ(viewer.hooks().parameter(), 2);
}

// A one-port file has s11 alone: Parameter stays at s11 when clicked.
TEST_F(ViewerStory, AOnePortFileOffersOnlyS11) {
  std::vector<TouchstonePoint> points;
  for (int i = 0; i < 51; ++i) points.push_back({1e6 + 1e5 * i, -9.5424250943932, 0.0});  // 100 ohm on 50 ohm
  std::ofstream(dir.path() / "part.s1p", std::ios::binary) << s1pContent(points);
  ImpedanceViewer viewer(screen, dir.path());
  std::string parameter;
  pickFirstFile();
  user.click(24, P + 14).moveMouse(600, 730).act([&] { parameter = screen.textAt(24, P + 2, 24); });
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  EXPECT_EQ(parameter, "Parameter: s11 (input)  ");
  EXPECT_EQ(viewer.hooks().parameter(), 1);
  EXPECT_FALSE(viewer.hooks().twoPort());
}

// The delay aperture widest on a file of 801 points (128 points) is too wide
// for the next file, of 51: it is held to what 51 points allow (8), and the
// delay of that file's cable is there.
TEST_F(ViewerStory, AWideDelayApertureShrinksToTheNextFilesPoints) {
  const auto write = [this](int count, double step, double delay) {
    std::vector<TouchstonePoint> points;
    for (int i = 0; i < count; ++i) {
      const double f = 1e6 + step * i;
      points.push_back({f, 0.0, std::remainder(-360.0 * f * delay, 360.0)});
    }
    std::ofstream(dir.path() / "cable.s2p", std::ios::binary)
        << s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, points);
  };
  write(801, 1e4, 100e-9);
  TransmissionViewer viewer(screen, dir.path());
  std::string widest, held;
  std::vector<double> delay;
  pickFirstFile();
  user.click(2, P + 10).click(2, P + 10).moveMouse(600, 730);  // gain & delay
  user.click(22, P + 4, 2).moveMouse(600, 730).act([&] { widest = screen.textAt(22, P + 1, 15); });
  user.click(40, P + 4).act([&] { write(51, 1e5, 200e-9); });  // File Access; another cable
  pickFirstFile();
  user.act([&] {
    held = screen.textAt(22, P + 1, 15);
    delay.assign(viewer.record().trace2.begin(), viewer.record().trace2.begin() + 51);
  });
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  EXPECT_EQ(widest, "delay aper: 16%");  // 128 of 800 steps
  EXPECT_EQ(held, "delay aper: 16%");    // 8 of 50
  for (std::size_t i = 4; i <= 46; ++i) EXPECT_NEAR(delay[i], 0.2, 1e-6) << "point " << i;  // microseconds
}

// A file the viewer cannot show says so and leaves the user at the list.
TEST_F(ViewerStory, AFileThatIsNotCompatibleIsRefusedAndTheListComesBack) {
  {
    std::ofstream out(dir.path() / "short.s2p", std::ios::binary);
    out << "# HZ S DB R 50\r\n1000 -1 2 0 0 0 0 0 0 \r\n";  // one point
  }
  TransmissionViewer viewer(screen, dir.path());
  std::string refused;
  user.waitForText(20, 8, "   Choose the file to be displayed")
      .moveMouse(kFirstNameX, kFirstNameY)
      .act([this] { backend.clickAt(backend.now(), kFirstNameX, kFirstNameY); }, 0.5)
      .waitForText(5, 5, " error : the file is not compatible  ")
      .act([&] { refused = screen.textAt(7, 5, 6); })
      .waitForText(20, 8, "   Choose the file to be displayed", 10.0);
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  EXPECT_EQ(refused, " Wait ");
}

// 51 points of a 100 ohm resistor on 50 ohm: s11 = 1/3, -9.54 dB at 0 degrees.
void writeResistor(const std::filesystem::path& file) {
  std::vector<TouchstonePoint> points;
  for (int i = 0; i < 51; ++i) points.push_back({1e6 + 1e5 * i, -9.5424250943932, 0.0});
  std::ofstream out(file, std::ios::binary);
  out << s1pContent(points);
}

// Opened on a file (from a file manager, or "impedance-viewer bench/r.s1p"),
// the viewer shows it without a click; File Access then lists the file's own
// folder, not the directory the viewer was started in.
TEST_F(ViewerStory, GivenAFileTheViewerShowsItAtOnceAndFileAccessListsItsFolder) {
  const std::filesystem::path bench = dir.path() / "bench";
  std::filesystem::create_directory(bench);
  writeResistor(bench / "resistor.s1p");
  writeResistor(bench / "Another.s1p");
  writeResistor(dir.path() / "elsewhere.s1p");
  const ViewerStart start = viewerStartFor((bench / "resistor.s1p").string());
  ImpedanceViewer viewer(screen, start.directory, start.file);
  std::string reading, listed;
  user.waitForText(24, P + 2, "Parameter:", 1.0)
      .act([&] { reading = screen.textAt(45, 29, 14); })
      .click(40, P + 4)  // File Access
      .waitForText(20, 8, "   Choose the file to be displayed")
      .act([&] { listed = screen.textAt(2, 63, 12) + "|" + screen.textAt(3, 63, 12) + "|" + screen.textAt(4, 63, 3); });
  ASSERT_NO_FATAL_FAILURE(play(viewer));

  EXPECT_EQ(reading, "       100.000");
  EXPECT_EQ(listed, "Another.s1p |resistor.s1p|   ");
}

// A file given that the viewer cannot show gets the refusal with its reason,
// then the list of the folder it was to come from.
TEST_F(ViewerStory, AGivenFileThatCannotBeShownIsRefusedWithItsReasonThenItsFolderIsListed) {
  const std::filesystem::path bench = dir.path() / "bench";
  std::filesystem::create_directory(bench);
  writeResistor(bench / "resistor.s1p");
  writeResistor(bench / "resistor.txt");
  const struct {
    std::string given, reason;
  } cases[] = {
      {"gone.s1p", " cannot read gone.s1p: No such file or directory "},
      {"resistor.txt", " resistor.txt is not a .s1p or .s2p file "},
      {"", " bench is not a .s1p or .s2p file "},  // "bench/": the folder itself
  };
  writeResistor(dir.path() / "top.s1p");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    HeadlessBackend backend;
    Screen screen{backend};
    UserStory user{backend, screen};
    const ViewerStart start = viewerStartFor((bench / c.given).string());
    ImpedanceViewer viewer(screen, start.directory, start.file);
    std::string title, reason, listed;
    user.waitForText(5, 5, " error : the file is not compatible  ", 1.0)
        .act([&] { reason = screen.textAt(6, 5, static_cast<int>(c.reason.size())); })
        .waitForText(20, 8, "   Choose the file to be displayed", 10.0)
        .act([&] { listed = screen.textAt(2, 63, 13); });
    user.begin(0.0);
    viewer.run();
    EXPECT_TRUE(user.finished());
    EXPECT_EQ(reason, c.reason);
    EXPECT_EQ(listed, c.given.empty() ? "top.s1p      " : "resistor.s1p ");
  }
}

}  // namespace
}  // namespace vna
