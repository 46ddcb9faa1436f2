// A user measuring two-port devices with the transmission analyzer on the
// virtual instrument: the set-up's own response normalized away with a
// through connection, an attenuator read on the markers and saved, the group
// delay of a filter over the delay aperture, and the level traces.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "display/layout.h"
#include "platform/numeric.h"
#include "scenario_support.h"
#include "simulator/measurement_path.h"

namespace vna {
namespace {

using testing::cellX;
using testing::cellY;
using testing::idealInstrument;
using testing::plotPixels;
using testing::shownNumber;
using testing::stopFirstScan;
using testing::TransmissionBench;

constexpr int P = 101;
// Readout places of the dB modes: the gain, and the phase or the delay.
constexpr int kGainColumn = 31, kGainWidth = 11;
constexpr int kTrace2Column = 46, kPhaseWidth = 12, kDelayWidth = 13;
constexpr double kDegree = kPi / 180;

struct MarkerReading {
  double gain = 0, trace2 = 0;
};

struct TransmissionStory : TransmissionBench {
  MarkerReading marker(int row, int trace2Width = kPhaseWidth) const {
    return {shownNumber(screen, row, kGainColumn, kGainWidth), shownNumber(screen, row, kTrace2Column, trace2Width)};
  }
  // Clicks the normalize item, checks that the space bar cannot start the
  // reference scan, starts it with the button and waits until the scan that
  // follows it, now normalized, has covered the whole range once more.
  void normalize() {
    user.click(25, P + 14)
        .waitForText(20, 20, " Replace the device under test with a     ")
        .act([this] { askedItem = screen.textAt(25, P + 2, 18); })
        .type(" ")
        .act([this] { startAfterSpace = screen.textAt(36, P + 2, 16); }, 1.0)
        .click(36, P + 4)
        .moveMouse(600, 730)
        .act([this] { runningButton = screen.textAt(36, P + 2, 16); }, 0.5)
        .waitForText(20, 20, "normalization: done")
        .waitForText(25, P + 2, "normalize: on     ")
        .act([this] { acquisitionsAtStart = model.acquisitions(); })
        .waitFor("a normalized sweep",
                 [this] { return model.acquisitions() > acquisitionsAtStart + program.plan().points + 1; })
        .type(" ")
        .waitForText(36, P + 2, " Start");
  }
  std::string askedItem, startAfterSpace, runningButton;
};

// What the program reads without normalization: the through's path with its
// tracking and crosstalk, and input A's gain and phase against R that the
// program's A/R adjustment (left at 1 and 0) does not correct.
Complex throughAsRead(const InstrumentSettings& s, double f) {
  return (transmissionTrackingAt(f) + crosstalkAt(f)) * std::polar(s.arGain, s.arPhaseDegrees * kDegree);
}

TEST_F(TransmissionStory, NormalizedWithAThroughA20DbAttenuatorReadsItsLossAtEveryPointAndIsSavedSo) {
  MarkerReading before1, before2, through1, through2, attenuator1, attenuator2;
  std::string onItem;
  model.setDevice(Device::through());
  stopFirstScan(user, screen);
  fiftyOnePoints();
  sweep();
  user.act([&] {
    before1 = marker(45);
    before2 = marker(46);
  });
  normalize();
  user.act([&] {
    through1 = marker(45);
    through2 = marker(46);
    onItem = screen.textAt(25, P + 2, 18);
    model.setDevice(Device::attenuator(20));
  });
  sweep();
  user.act([&] {
    attenuator1 = marker(45);
    attenuator2 = marker(46);
  });
  user.click(29, P + 6).waitForText(8, 10, "file name :");  // Save measure to File: s2p (s21) is offered first
  user.moveMouse(cellX(30), cellY(8)).type("att20\r");
  user.click(12, 25).moveMouse(600, 730).waitForText(14, P + 2, "freq  Max:");
  ASSERT_NO_FATAL_FAILURE(play());

  const ScanRecord& r = program.record();
  const int m1 = program.plan().markerIndex1, m2 = program.plan().markerIndex2;
  // Unnormalized, the through shows the set-up's response.
  for (const auto& [reading, index] : {std::pair{before1, m1}, std::pair{before2, m2}}) {
    const Complex expected = throughAsRead(model.settings(), r.frequency[static_cast<std::size_t>(index)]);
    EXPECT_NEAR(reading.gain, 20 * std::log10(std::abs(expected)), 0.01);
    EXPECT_NEAR(reading.trace2, std::arg(expected) / kDegree, 0.1);
    EXPECT_GT(std::fabs(reading.gain), 0.05);  // far enough from 0 dB to tell normalization did something
  }
  EXPECT_EQ(askedItem, "normalize: asked  ");
  EXPECT_EQ(startAfterSpace, " Start normalize");
  EXPECT_EQ(runningButton, " Abort normalize");
  EXPECT_EQ(onItem, "normalize: on     ");
  for (const MarkerReading& m : {through1, through2}) {
    EXPECT_NEAR(m.gain, 0.0, 0.005);
    EXPECT_NEAR(m.trace2, 0.0, 0.05);
  }
  for (const MarkerReading& m : {attenuator1, attenuator2}) {
    EXPECT_NEAR(m.gain, -20.0, 0.01);
    EXPECT_NEAR(m.trace2, 0.0, 0.1);
  }
  const std::vector<std::string> file = testing::fileLines(dir.path() / "att20.s2p");
  ASSERT_EQ(file.size(), 3u + 51u);
  for (std::size_t i = 0; i < 51; ++i) {
    SCOPED_TRACE("point " + std::to_string(i) + ", " + std::to_string(r.frequency[i]) + " Hz");
    EXPECT_NEAR(r.trace1[i], -20.0, 0.01);
    EXPECT_NEAR(r.trace2[i], 0.0, 0.1);
    std::istringstream line(file[3 + i]);
    std::vector<double> f;
    for (double v; line >> v;) f.push_back(v);
    ASSERT_EQ(f.size(), 9u);
    EXPECT_NEAR(f[0], r.frequency[i], 1e-9 * r.frequency[i]);
    EXPECT_NEAR(f[3], r.trace1[i], 1e-5);  // s21 as the plot shows it
    EXPECT_NEAR(f[4], r.trace2[i], 1e-4);
    EXPECT_EQ(f[1], 0.0);  // the other parameters stay empty
    EXPECT_EQ(f[5], 0.0);
  }
}

// The delay of a point is the phase step over the aperture centred on it.
double groupDelayAround(const Device& device, double fLow, double fHigh) {
  const Complex step = responseAt(device, fHigh) * std::conj(responseAt(device, fLow));
  return -std::arg(step) / (2 * kPi * (fHigh - fLow)) * 1e6;
}

// A fifth-order low-pass at 10 MHz delays most near its cut-off, so a delay
// written one point off its place reads tens of nanoseconds wrong there.
TEST_F(TransmissionStory, TheDelayModeReadsTheGroupDelayOfAFilterAtTheMiddleOfTheAperture) {
  const Device filter = Device::lowpassLc(10e6, 5);
  model.settings() = idealInstrument(100);
  model.setDevice(filter);
  std::string apertureShown, widerApertureShown, hiddenInPhaseMode;
  MarkerReading narrow1, narrow2, wide1, wide2;
  std::string edgeDelay, edgeDifference;
  stopFirstScan(user, screen);
  fiftyOnePoints();
  user.act([&] { hiddenInPhaseMode = screen.textAt(23, P + 1, 16); });
  user.click(20, P + 10);  // linear sweep
  user.moveMouse(cellX(P + 14), cellY(14)).type("51m");
  user.moveMouse(cellX(P + 14), cellY(15)).type("1m");  // 1 MHz per point
  user.click(2, P + 10).click(2, P + 10);               // gain & delay
  user.moveMouse(600, 730);
  sweep();
  user.act([&] {
    apertureShown = screen.textAt(23, P + 1, 16);
    narrow1 = marker(45, kDelayWidth);
    narrow2 = marker(46, kDelayWidth);
  });
  user.click(23, P + 14).moveMouse(600, 730);  // the aperture doubles: 4 points
  user.act([&] {
    widerApertureShown = screen.textAt(23, P + 1, 16);
    wide1 = marker(45, kDelayWidth);
    wide2 = marker(46, kDelayWidth);
  });
  user.drag(3 + 100, 300, 3, 300);  // marker 1 to the first point: no delay there
  user.act([&] {
    edgeDelay = screen.textAt(45, kTrace2Column, kDelayWidth);
    edgeDifference = screen.textAt(47, kTrace2Column, kDelayWidth);
  });
  ASSERT_NO_FATAL_FAILURE(play());

  EXPECT_EQ(hiddenInPhaseMode, std::string(16, ' '));
  EXPECT_EQ(apertureShown, "delay aper: 4%  ");
  EXPECT_EQ(widerApertureShown, "delay aper: 8%  ");
  const ScanRecord& r = program.record();
  const auto delayAt = [&](int index, int aperture) {
    const auto half = static_cast<std::size_t>(aperture / 2), i = static_cast<std::size_t>(index);
    return groupDelayAround(filter, r.frequency[i - half], r.frequency[i + half]);
  };
  const int m1 = 6, m2 = 12;  // 7 MHz and 13 MHz
  ASSERT_EQ(r.frequency[m1], 7e6);
  EXPECT_NEAR(narrow1.trace2, delayAt(m1, 2), 1e-4);
  EXPECT_NEAR(narrow2.trace2, delayAt(m2, 2), 1e-4);
  EXPECT_NEAR(wide1.trace2, delayAt(m1, 4), 1e-4);
  EXPECT_NEAR(wide2.trace2, delayAt(m2, 4), 1e-4);
  EXPECT_GT(std::fabs(delayAt(m2, 2) - delayAt(m2 + 1, 2)), 0.005);  // the test can tell a point off
  EXPECT_NEAR(narrow2.gain, 20 * std::log10(std::abs(responseAt(filter, 13e6))), 0.01);
  EXPECT_EQ(edgeDelay, std::string(kDelayWidth, ' '));
  EXPECT_EQ(edgeDifference, std::string(kDelayWidth, ' '));
}

// "dB,A,R" draws the two input levels as traces in their own colours; the
// choice exists only in the dB mode and its memory choices only with a memory.
TEST_F(TransmissionStory, TheDisplayItemCyclesAsTheMemoryAllowsAndDrawsTheInputLevels) {
  model.setDevice(Device::attenuator(10));
  std::vector<std::string> cycle;
  int levelPixelsA = 0, levelPixelsR = 0, levelPixelsBefore = 0;
  std::string inUnitsMode;
  stopFirstScan(user, screen);
  fiftyOnePoints();
  sweep();
  user.act([&] { levelPixelsBefore = plotPixels(screen, colour::kLevelA); });
  for (int i = 0; i < 3; ++i) {
    user.click(26, P + 14).moveMouse(600, 730).act([&] { cycle.push_back(screen.textAt(26, P + 13, 12)); });
  }
  user.click(26, P + 14).click(26, P + 14).moveMouse(600, 730);  // on to "dB,A,R" again
  user.act([&] {
    levelPixelsA = plotPixels(screen, colour::kLevelA);
    levelPixelsR = plotPixels(screen, colour::kLevelR);
  });
  user.click(2, P + 10).moveMouse(600, 730).act([&] { inUnitsMode = screen.textAt(26, P + 13, 12); });
  ASSERT_NO_FATAL_FAILURE(play());

  EXPECT_EQ(cycle, (std::vector<std::string>{"dB          ", "dB,A,R      ", "dB,deg      "}));
  EXPECT_EQ(levelPixelsBefore, 0);
  EXPECT_GT(levelPixelsA, 300);  // a line across the plot
  EXPECT_GT(levelPixelsR, 300);
  EXPECT_EQ(inUnitsMode, "U,deg       ");
}

// The states the normalization passes through as the user works: a stopped
// reference scan, a frequency step and a new number of points.
TEST_F(TransmissionStory, NormalizationIsAbortedByStopWarnedByAFrequencyStepAndDroppedByANewPointCount) {
  model.setDevice(Device::through());
  std::string aborted, afterAbort, afterWheel, afterToggle, afterPoints;
  stopFirstScan(user, screen);
  fiftyOnePoints();
  user.click(25, P + 14).click(36, P + 4).moveMouse(600, 730);
  // The space bar is ignored while a point of it comes in: the button stops it.
  user.waitFor("a few points of the reference scan", [this] { return program.control().currentPoint() > 10; })
      .click(36, P + 4)
      .moveMouse(600, 730)
      .waitForText(20, 20, " Normalization aborted ")
      .act([&] { aborted = screen.textAt(20, 20, 23); })
      .waitForText(36, P + 2, " Start")
      .act([&] { afterAbort = screen.textAt(25, P + 2, 18); });
  normalize();
  user.moveMouse(cellX(P + 20), cellY(14)).wheel(1).moveMouse(600, 730);
  user.act([&] { afterWheel = screen.textAt(25, P + 2, 18); });
  user.click(20, P + 10).moveMouse(600, 730).act([&] { afterToggle = screen.textAt(25, P + 2, 18); });
  user.click(21, P + 14).moveMouse(600, 730).act([&] { afterPoints = screen.textAt(25, P + 2, 18); });
  ASSERT_NO_FATAL_FAILURE(play());

  EXPECT_EQ(aborted, " Normalization aborted ");
  EXPECT_EQ(afterAbort, "normalize: off    ");
  EXPECT_EQ(afterWheel, "normalize: warning");
  EXPECT_EQ(afterToggle, "normalize: warning");
  EXPECT_EQ(afterPoints, "normalize: off    ");
}

// One metre of cable turns the phase by 360 f L / c: 12.008 degrees at 10
// MHz. The length corrects only unnormalized readings; normalizing takes the
// cable's turn out with the rest of the set-up, and the row is hidden then.
TEST_F(TransmissionStory, TheElectricalLengthTurnsThePhaseOnlyWhileNormalizationIsOff) {
  model.settings() = idealInstrument(0);
  model.setDevice(Device::through());
  MarkerReading withoutLength, withLength, normalized;
  std::string lengthRowWhileOn;
  stopFirstScan(user, screen);
  fiftyOnePoints();
  user.click(20, P + 10);  // linear, so that a marker sits on 10 MHz
  user.moveMouse(cellX(P + 14), cellY(14)).type("41m");
  user.moveMouse(cellX(P + 14), cellY(15)).type("1m");  // 0.8 MHz per point; marker 2 (point 12) at 10.6 MHz
  sweep();
  user.act([&] { withoutLength = marker(46); });
  user.moveMouse(cellX(P + 14), cellY(24)).type("1\r").moveMouse(600, 730);
  user.act([&] { withLength = marker(46); });
  normalize();
  user.act([&] {
    normalized = marker(46);
    lengthRowWhileOn = screen.textAt(24, P + 2, 20);
  });
  ASSERT_NO_FATAL_FAILURE(play());

  const double f = program.record().frequency[12];
  ASSERT_NEAR(f, 10.6e6, 1);
  EXPECT_NEAR(withLength.trace2 - withoutLength.trace2, 360 * f * 1.0 / 299792458, 0.001);
  EXPECT_NEAR(normalized.trace2, 0.0, 0.001);
  EXPECT_EQ(lengthRowWhileOn, std::string(20, ' '));
}

// An instrument that stops answering: the time-out texts of this program
// (one character shorter than the impedance analyzer's), a reference scan
// dropped to "off", a normalization already on kept.
TEST_F(TransmissionStory, ATimeOutDropsARunningNormalizationAndKeepsOneThatIsOn) {
  model.setDevice(Device::through());
  std::string error31, error32, startAfterTimeout, afterRunningTimeout, afterOnTimeout;
  const auto silenceAfterAFewPoints = [&] {
    user.waitFor("a few points", [this] { return program.control().currentPoint() > 5; })
        .act([this] { model.setFault(FaultPlan::silence(), backend.now()); })
        .waitForText(31, P + 2, " Error: USB timeout   ", 20.0)
        .act([&] {
          error31 = screen.textAt(31, P + 2, 22);
          error32 = screen.textAt(32, P + 2, 22);
          model.setFault(FaultPlan::none(), backend.now());
        })
        .act([&] { startAfterTimeout = screen.textAt(36, P + 2, 16); })
        .waitForText(31, P + 2, " Try to scan again    ", 20.0);  // the port is open again
  };
  stopFirstScan(user, screen);
  fiftyOnePoints();
  user.click(25, P + 14).click(36, P + 4).moveMouse(600, 730);
  silenceAfterAFewPoints();
  user.act([&] { afterRunningTimeout = screen.textAt(25, P + 2, 18); });
  normalize();
  user.click(36, P + 4).moveMouse(600, 730);
  silenceAfterAFewPoints();
  user.act([&] { afterOnTimeout = screen.textAt(25, P + 2, 18); });
  ASSERT_NO_FATAL_FAILURE(play());

  EXPECT_EQ(error31, " Error: USB timeout   ");
  EXPECT_EQ(error32, " USB Reset : wait (3s)");
  EXPECT_EQ(startAfterTimeout, " Start          ");  // nothing left of " Abort normalize"
  EXPECT_EQ(afterRunningTimeout, "normalize: off    ");
  EXPECT_EQ(afterOnTimeout, "normalize: on     ");
}

// Input A of this instrument reads 2 % high and 1.5 degrees ahead of R. The
// user measures that on a through, types it on the Adjustment screen and
// saves: the next scan reads the through as 0 dB and 0 degrees, and the file
// keeps the values for the next start of either analyzer.
TEST_F(TransmissionStory, TheAdjustmentSavedOnItsScreenCorrectsTheNextScan) {
  InstrumentSettings asymmetric = idealInstrument(0);
  asymmetric.arGain = 1.02;
  asymmetric.arPhaseDegrees = 1.5;
  model.settings() = asymmetric;
  model.setDevice(Device::through());
  MarkerReading before, after;
  stopFirstScan(user, screen);
  fiftyOnePoints();
  sweep();
  user.act([&] { before = marker(45); });
  user.click(40, P + 4).waitForText(1, 23, "Adjustment");
  user.click(4, 10).type("1.02\r").click(5, 10).type("1.5\r");
  user.act([&] { backend.keyAt(backend.now(), extendedKey(key::kF4)); }).waitForText(14, P + 2, "freq  Max:");
  sweep();
  user.act([&] { after = marker(45); });
  ASSERT_NO_FATAL_FAILURE(play());

  EXPECT_NEAR(before.gain, 20 * std::log10(1.02), 0.001);
  EXPECT_NEAR(before.trace2, 1.5, 0.01);
  EXPECT_NEAR(after.gain, 0.0, 0.001);
  EXPECT_NEAR(after.trace2, 0.0, 0.01);
  const SettingsFile saved = loadSettings(dir.settings());
  EXPECT_EQ(saved.arGain, 1.02f);
  EXPECT_EQ(saved.arPhase, 1.5f);
  EXPECT_EQ(saved.clockHz, 150000000);
}

}  // namespace
}  // namespace vna
