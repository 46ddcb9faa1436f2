// What a change of the frequency range does to what was measured before it:
// a calibration taken over other frequencies becomes a warning (and still
// corrects), the zoom on one point moves only the center, and the memory
// takes only a complete scan of the range in force.
#include <gtest/gtest.h>

#include <string>

#include "display/layout.h"
#include "scenario_support.h"

namespace vna {
namespace {

using testing::calibrate;
using testing::cellX;
using testing::cellY;
using testing::InstrumentBench;
using testing::kFrequencyColumn;
using testing::kTrace1Column;
using testing::plotPixels;
using testing::shownNumber;
using testing::stopFirstScan;

constexpr int P = 101;
constexpr int kOutOfTheWayX = 600, kOutOfTheWayY = 730;  // below the plot, left of the panel
constexpr int kUnitsOfFreqMax = P + 21;                  // the 1 Hz digit of "#########.##" at P+13

// The calibrate item as shown: its label and the 13 characters of the state.
std::string calibrateItem(const Screen& screen) {
  return screen.textAt(25, P + 2, 23);
}

const std::string kOn = "calibrate: on          ";
const std::string kWarning = "calibrate: warning     ";

// Standards measured at other frequencies than the points now have are only
// a warning: one notch of the wheel, a typed frequency, the sweep toggle and
// the zoom each turn "on" into "warning". A 1 Hz notch leaves the standards
// as good as they were, and the warning still corrects with them. A
// calibration still waiting for its short circuit is not "on": the wheel
// leaves it waiting, but a typed frequency ends it in the warning state.
TEST_F(InstrumentBench, EveryChangeOfTheRangeTurnsACalibrationIntoAWarning) {
  const Device load = Device::referenceLoad(50, 0, 0);
  std::string beforeWheel, afterWheel, freqMaxAfterWheel, afterTyping, afterToggle, afterZoom;
  std::string awaitingShort, awaitingAfterWheel, awaitingAfterTyping;
  double freqMaxAwaiting = 0, freqMaxAwaitingAfterWheel = 0;
  const auto freqMax = [this] { return shownNumber(screen, 14, P + 13, 12); };
  double warnedReading = 0;
  const auto recalibrate = [&] {
    user.click(25, P + 14);  // warning -> off
    calibrate(user, model, load);
  };
  stopFirstScan(user, screen);
  fiftyOnePoints();
  calibrate(user, model, load);
  user.act([&] { beforeWheel = calibrateItem(screen); })
      .moveMouse(cellX(kUnitsOfFreqMax), cellY(14))
      .wheel(1)
      .moveMouse(kOutOfTheWayX, kOutOfTheWayY)
      .act([&] {
        afterWheel = calibrateItem(screen);
        freqMaxAfterWheel = screen.textAt(14, P + 13, 12);
        model.setDevice(Device::resistor(100));
      });
  sweep();
  user.act([&] { warnedReading = shown(45, kTrace1Column); });

  recalibrate();
  user.moveMouse(cellX(P + 14), cellY(14)).type("50m").act([&] { afterTyping = calibrateItem(screen); });

  recalibrate();
  user.click(20, P + 14).moveMouse(kOutOfTheWayX, kOutOfTheWayY).act([&] { afterToggle = calibrateItem(screen); });

  recalibrate();
  user.type("\x16").act([&] { afterZoom = calibrateItem(screen); });

  user.click(25, P + 14)
      .click(25, P + 14)
      .waitForText(20, 20, " Replace the device under test with an    ")
      .act([&] { model.setDevice(Device::open()); })
      .click(36, P + 4)
      .moveMouse(kOutOfTheWayX, kOutOfTheWayY)
      .waitForText(20, 20, "Replace the open circuit with a short circuit ")
      .act([&] {
        awaitingShort = calibrateItem(screen);
        freqMaxAwaiting = freqMax();
      })
      .moveMouse(cellX(kUnitsOfFreqMax), cellY(14))
      .wheel(1)
      .moveMouse(kOutOfTheWayX, kOutOfTheWayY)
      .act([&] {
        awaitingAfterWheel = calibrateItem(screen);
        freqMaxAwaitingAfterWheel = freqMax();
      })
      .moveMouse(cellX(P + 14), cellY(14))
      .type("40m")
      .act([&] { awaitingAfterTyping = calibrateItem(screen); });
  ASSERT_NO_FATAL_FAILURE(play());

  EXPECT_EQ(beforeWheel, kOn);
  EXPECT_EQ(freqMaxAfterWheel, " 60000001.00");
  EXPECT_EQ(afterWheel, kWarning);
  EXPECT_NEAR(warnedReading, 100.0, 0.5);  // uncorrected it would read more than 10 % low
  EXPECT_EQ(afterTyping, kWarning);
  EXPECT_EQ(afterToggle, kWarning);
  EXPECT_EQ(afterZoom, kWarning);
  EXPECT_EQ(awaitingShort, "calibrate: short       ");
  EXPECT_EQ(freqMaxAwaitingAfterWheel, freqMaxAwaiting + 1);
  EXPECT_EQ(awaitingAfterWheel, "calibrate: short       ");
  EXPECT_EQ(awaitingAfterTyping, kWarning);
}

// Two marker lines a few pixels apart can stand on one point (offsets 100
// and 103 of 800 are both point 6 of 51). Ctrl+V then has no range to zoom
// to; it centres the range on that point and keeps the span, which makes
// center and span the entry from then on.
TEST_F(InstrumentBench, CtrlVWithBothMarkersOnOnePointMovesOnlyTheCenter) {
  std::string marker1, marker2, freqMax, freqMin, center, span;
  stopFirstScan(user, screen);
  fiftyOnePoints();
  user.click(20, P + 14);  // sweep: log -> linear
  user.moveMouse(cellX(P + 14), cellY(14)).type("20m");
  user.moveMouse(cellX(P + 14), cellY(15)).type("10m");
  user.drag(kPlot.origin + 200, 300, kPlot.origin + 103, 300).moveMouse(kOutOfTheWayX, kOutOfTheWayY);
  sweep();
  user.act([&] {
        marker1 = screen.textAt(45, kFrequencyColumn, 12);
        marker2 = screen.textAt(46, kFrequencyColumn, 12);
      })
      .type("\x16")
      .act([&] {
        freqMax = screen.textAt(14, P + 13, 12);
        freqMin = screen.textAt(15, P + 13, 12);
        center = screen.textAt(17, P + 13, 12);
        span = screen.textAt(18, P + 13, 12);
      });
  sweep();
  ASSERT_NO_FATAL_FAILURE(play());

  EXPECT_EQ(marker1, " 11200000.00");
  EXPECT_EQ(marker2, " 11200000.00");
  EXPECT_EQ(center, " 11200000.00");
  EXPECT_EQ(span, " 10000000.00");
  EXPECT_EQ(freqMin, "  6200000.00");
  EXPECT_EQ(freqMax, " 16200000.00");
  EXPECT_TRUE(program.plan().centerSpanEntry);
  EXPECT_EQ(program.plan().markerOffset2, 103);
  // The next scan measures the new range.
  EXPECT_EQ(program.record().frequency[0], 6.2e6);
  EXPECT_EQ(program.record().frequency[50], 16.2e6);
}

// "Copy measure to Memory" refuses a scan that did not reach the end of the
// range: the one stopped at start-up, and a complete one once the range has
// changed under it. The memory drawn beside the traces goes with the range
// change too, and a new scan does not bring it back; only a new copy does,
// drawn from the next scan's traces on.
TEST_F(InstrumentBench, TheMemoryTakesOnlyACompleteScanOfTheRangeInForce) {
  struct Refusal {
    std::string row31, row32;
    TextCell cell;
    bool memoryValid = true;
  };
  Refusal atStart, afterRangeChange;
  std::string copied;
  int memoryPixelsCopied = 0, memoryPixelsAfterChange = 0, memoryPixelsAfterNewScan = 0, memoryPixelsAgain = 0;
  const auto refusal = [this](Refusal& r) {
    r.row31 = screen.textAt(31, P + 2, 20);
    r.row32 = screen.textAt(32, P + 2, 20);
    r.cell = screen.framebuffer().cell(kVisiblePage, 31, P + 2);
    r.memoryValid = program.control().memoryValid();
  };
  const auto memoryPixels = [this] { return plotPixels(screen, colour::kMemory1); };
  stopFirstScan(user, screen);
  user.click(28, P + 10).act([&] { refusal(atStart); });
  fiftyOnePoints();
  user.act([&] { model.setDevice(Device::seriesRlc(47, 1e-6, 0)); });
  sweep();
  user.click(28, P + 10)
      .act([&] { copied = screen.textAt(28, P + 3, 22); })
      .waitForText(28, P + 3, "Copy Measure to Memory")
      .click(26, P + 14)  // display: both traces -> trace 1 -> both and the memory
      .click(26, P + 14)
      .moveMouse(kOutOfTheWayX, kOutOfTheWayY)
      .act([&] { memoryPixelsCopied = memoryPixels(); })
      .moveMouse(cellX(P + 14), cellY(14))
      .type("30m")
      .moveMouse(kOutOfTheWayX, kOutOfTheWayY)
      .act([&] { memoryPixelsAfterChange = memoryPixels(); })
      .click(28, P + 10)
      .act([&] { refusal(afterRangeChange); });
  sweep();
  user.act([&] { memoryPixelsAfterNewScan = memoryPixels(); })
      .click(28, P + 10)
      .waitForText(28, P + 3, "Copy Measure to Memory");
  sweep();  // the copy is drawn with the next traces
  user.act([&] { memoryPixelsAgain = memoryPixels(); });
  ASSERT_NO_FATAL_FAILURE(play());

  for (const Refusal* r : {&atStart, &afterRangeChange}) {
    SCOPED_TRACE(r == &atStart ? "the scan stopped at start-up" : "after the range changed");
    EXPECT_EQ(r->row31, " error : aquisition ");
    EXPECT_EQ(r->row32, " not completed      ");
    EXPECT_EQ(r->cell.fg, 0);
    EXPECT_EQ(r->cell.bg, colour::kErrorBack);
    EXPECT_FALSE(r->memoryValid);
  }
  EXPECT_EQ(copied, "    Measure copied    ");
  EXPECT_GT(memoryPixelsCopied, 100);
  EXPECT_EQ(memoryPixelsAfterChange, 0);
  EXPECT_EQ(memoryPixelsAfterNewScan, 0);
  EXPECT_GT(memoryPixelsAgain, 100);
  EXPECT_EQ(program.control().displayChoice, 2);
}

}  // namespace
}  // namespace vna
