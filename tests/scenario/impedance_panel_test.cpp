// A user at the impedance analyzer's side panel. No instrument is connected,
// so the first scan times out and the program waits in the idle loop.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "scenario_support.h"

namespace vna {
namespace {

using testing::cellX;
using testing::cellY;
using testing::noInstrument;
using testing::WorkDirectory;

constexpr int P = 101;
constexpr double kIdle = 15.0;  // the first scan has timed out by then

struct PanelScenario : ::testing::Test {
  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen{backend};
  ImpedanceAnalyzer program{screen, noInstrument(), dir.settings()};

  // Hover the cell, then press and release a button there.
  void click(double t, int row, int column, int button = 1) {
    backend.mouseAt(t, cellX(column), cellY(row));
    backend.clickAt(t + 0.1, cellX(column), cellY(row), button);
  }
  void typeOn(double t, int row, std::string_view keys, int column = P + 14) {
    backend.mouseAt(t, cellX(column), cellY(row));
    for (std::size_t i = 0; i < keys.size(); ++i) backend.keyAt(t + 0.1 + 0.05 * static_cast<double>(i), std::string(1, keys[i]));
  }
  void capture(double t, std::string& out, int row, int column, int length) {
    backend.actionAt(t, [this, &out, row, column, length] { out = screen.textAt(row, column, length); });
  }
  void runUntil(double t) {
    backend.keyAt(t, "\x1b");
    program.run();
  }
};

TEST_F(PanelScenario, EveryItemLightsUpUnderThePointerAndGoesBackWhenLeft) {
  struct Item {
    int row, column;
    std::string shown;  // the highlighted text at `column`
  };
  const std::vector<Item> items{
      {6, P + 12, "       100.000"},  {7, P + 12, "         0.000"},  {10, P + 12, "       225.000"},
      {11, P + 12, "      -225.000"}, {14, P + 12, "  60000000.00"},  {15, P + 12, "       200.00"},
      {20, P + 12, " log         "},  {21, P + 12, " 401"},            {22, P + 12, " 40"},
      {24, P + 13, "   0.0000"},       {25, P + 12, " off         "},  {28, P + 3, "Copy Measure to Memory"},
      {29, P + 3, "Save Measure to File  "}, {36, P + 2, " Start          "}, {38, P + 2, " Help           "},
      {40, P + 2, " Reference Load "}, {42, P + 2, " Exit           "},
  };
  struct Seen {
    std::string text;
    TextCell on, off;
  };
  std::vector<Seen> seen(items.size());
  double t = kIdle;
  for (std::size_t i = 0; i < items.size(); ++i, t += 0.3) {
    const Item& item = items[i];
    backend.mouseAt(t, 900, cellY(item.row));
    backend.actionAt(t + 0.1, [&, i] {
      seen[i].text = screen.textAt(items[i].row, items[i].column, static_cast<int>(items[i].shown.size()));
      seen[i].on = screen.framebuffer().cell(0, items[i].row, items[i].column + 1);
    });
    backend.mouseAt(t + 0.15, 400, 300);  // into the plot
    backend.actionAt(t + 0.25, [&, i] { seen[i].off = screen.framebuffer().cell(0, items[i].row, items[i].column + 1); });
  }
  runUntil(t);
  for (std::size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(items[i].row));
    EXPECT_EQ(seen[i].text, items[i].shown);
    EXPECT_EQ(seen[i].on.fg, 0);
    EXPECT_EQ(seen[i].on.bg, 15);
    EXPECT_EQ(seen[i].off.fg, 15);
    EXPECT_EQ(seen[i].off.bg, 0);
  }
}

TEST_F(PanelScenario, MeasPerScanAndMsPerMeasStepThroughTheirCycles) {
  std::vector<int> points, ms;
  double t = kIdle;
  for (int i = 0; i < 5; ++i, t += 0.4) {  // left: 401 -> 801 -> 51 -> 101 -> 201 -> 401
    click(t, 21, P + 14);
    backend.actionAt(t + 0.3, [&] { points.push_back(program.plan().points); });
  }
  click(t, 21, P + 14, 2);  // right: 401 -> 201
  backend.actionAt(t + 0.3, [&] { points.push_back(program.plan().points); });
  t += 0.4;
  std::string pointsText;
  capture(t, pointsText, 21, P + 2, 14);
  for (int i = 0; i < 8; ++i, t += 0.4) {  // left: 40 ... 5120 then back to 40
    click(t, 22, P + 14);
    backend.actionAt(t + 0.3, [&] { ms.push_back(program.plan().sampleCode); });
  }
  click(t, 22, P + 14, 2);  // right from 6 wraps to 895
  backend.actionAt(t + 0.3, [&] { ms.push_back(program.plan().sampleCode); });
  t += 0.4;
  backend.mouseAt(t, cellX(P + 14), cellY(22));
  backend.wheelAt(t + 0.1, 1);  // a wheel step up acts like a left press: 895 -> 6
  backend.actionAt(t + 0.4, [&] { ms.push_back(program.plan().sampleCode); });
  std::string msText;
  capture(t + 0.5, msText, 22, P + 4, 12);
  runUntil(t + 0.6);
  EXPECT_EQ(points, (std::vector<int>{801, 51, 101, 201, 401, 201}));
  EXPECT_EQ(pointsText, "meas/scan: 201");
  EXPECT_EQ(ms, (std::vector<int>{13, 27, 55, 111, 223, 447, 895, 6, 895, 6}));
  EXPECT_EQ(msText, "ms/meas: 40 ");
  // With 201 points the markers at 100 and 200 pixels sit on points 25 and 50.
  EXPECT_EQ(program.plan().markerIndex1, 25);
  EXPECT_EQ(program.plan().markerIndex2, 50);
}

TEST_F(PanelScenario, AFrequencyTypedWithAUnitLetterIsStored) {
  typeOn(kIdle, 14, "50m");
  std::string row14;
  capture(kIdle + 1.0, row14, 14, P + 2, 23);
  runUntil(kIdle + 1.2);
  EXPECT_EQ(program.plan().freqMax, 50e6);
  EXPECT_EQ(row14, "freq  Max:  50000000.00");
  EXPECT_FALSE(program.errors().any());
  EXPECT_TRUE(program.control().restartPending());
  EXPECT_EQ(program.plan().span, 50e6 - 200);  // min/max entry derives center and span
}

TEST_F(PanelScenario, TypedEntriesFollowTheUnitsAndLimitsOfTheMode) {
  // Title clicks to mode 2 (capacitance, pF): "-12" then "n" stores -12000.
  click(kIdle, 2, P + 10);
  click(kIdle + 0.4, 2, P + 10);
  typeOn(kIdle + 1.0, 6, "-12n");
  // A frequency of exactly 9 is refused and the entry goes on; "0k" is no
  // terminating key either (the letter needs a value above 0): the 0 stays
  // typed and 9.5 follows it.
  typeOn(kIdle + 2.0, 15, "9\r");
  backend.keysAt(kIdle + 2.5, "0k");
  std::string afterZeroK;
  capture(kIdle + 2.55, afterZeroK, 15, P + 12, 3);
  backend.keysAt(kIdle + 2.6, "9.5\r");
  std::string row15;
  capture(kIdle + 3.0, row15, 15, P + 13, 12);
  runUntil(kIdle + 3.2);
  EXPECT_EQ(program.control().displayMode, 2);
  EXPECT_EQ(program.scales().trace1Max[2], -12000);
  EXPECT_EQ(afterZeroK, "0  ");
  EXPECT_EQ(program.plan().freqMin, 9.5);
  EXPECT_EQ(row15, "        9.50");
}

TEST_F(PanelScenario, LogModeRefusesAZeroMinimumTypedOrByTheWheel) {
  click(kIdle, 2, P + 10, 2);  // right click on the title: mode 0 -> 10
  typeOn(kIdle + 0.5, 7, "0\r");  // refused: the field is blanked and the entry goes on
  double afterZero = 0;
  std::string fieldAfterZero;
  backend.actionAt(kIdle + 0.8, [&] { afterZero = program.scales().trace1Min[10]; });
  capture(kIdle + 0.8, fieldAfterZero, 7, P + 12, 14);
  backend.keysAt(kIdle + 0.9, "0.001\r");  // accepted
  // Over the last digit a notch is 0.001: up to 0.002, down to 0.001, and
  // not down to 0.
  double afterUp = 0;
  backend.mouseAt(kIdle + 1.5, 1004, cellY(7));
  backend.wheelAt(kIdle + 1.6, 1);
  backend.actionAt(kIdle + 1.9, [&] { afterUp = program.scales().trace1Min[10]; });
  backend.wheelAt(kIdle + 2.0, -1);
  backend.wheelAt(kIdle + 2.4, -1);
  runUntil(kIdle + 2.8);
  EXPECT_EQ(program.control().displayMode, 10);
  EXPECT_EQ(afterZero, 1.0);  // the mode's default MIN, untouched
  EXPECT_EQ(fieldAfterZero, std::string(14, ' '));
  EXPECT_EQ(afterUp, 0.002);
  EXPECT_EQ(program.scales().trace1Min[10], 0.001);
}

TEST_F(PanelScenario, FreqMaxBelowFreqMinRaisesTheBoxAndStartIsRefused) {
  typeOn(kIdle, 14, "100\r");
  std::string box31, box32;
  capture(kIdle + 0.6, box31, 31, P + 2, 23);
  capture(kIdle + 0.6, box32, 32, P + 2, 23);
  click(kIdle + 0.8, 36, P + 4);
  backend.keyAt(kIdle + 1.2, " ");
  bool scanningAfterStart = true;
  backend.actionAt(kIdle + 1.5, [&] { scanningAfterStart = program.control().scanning(); });
  // Correcting the value clears the flag; the next start is honoured.
  typeOn(kIdle + 2.0, 14, "1m");
  bool errorAfterFix = true;
  backend.actionAt(kIdle + 2.6, [&] { errorAfterFix = program.errors().any(); });
  runUntil(kIdle + 2.8);
  EXPECT_EQ(box31, "        Error          ");
  EXPECT_EQ(box32, "  Freq Max < Freq Min  ");
  EXPECT_FALSE(scanningAfterStart);
  EXPECT_FALSE(errorAfterFix);
  EXPECT_EQ(program.plan().freqMax, 1e6);
}

TEST_F(PanelScenario, HelpOpensAndEscReturnsToTheMainScreen) {
  click(kIdle, 38, P + 4);
  std::string helpTitle, helpButton, titleAfter;
  capture(kIdle + 0.5, helpTitle, 1, 33, 4);
  capture(kIdle + 0.5, helpButton, 45, 4, 15);
  backend.keyAt(kIdle + 0.7, "\x1b");  // leaves Help only
  capture(kIdle + 1.0, titleAfter, 2, P + 2, 25);
  runUntil(kIdle + 1.2);
  EXPECT_EQ(helpTitle, "Help");
  EXPECT_EQ(helpButton, "Exit Help (Esc)");
  EXPECT_EQ(titleAfter, " Impedance vs frequency  ");
}

TEST_F(PanelScenario, ReferenceLoadSavesTheLoadTheCalibrationUsesFromThenOn) {
  click(kIdle, 40, P + 4);
  std::string screenTitle, panelAfter;
  capture(kIdle + 0.5, screenTitle, 2, 40, 14);
  backend.mouseAt(kIdle + 0.6, 200, 88);  // the R field
  backend.clickAt(kIdle + 0.7, 200, 88);
  backend.keysAt(kIdle + 0.9, "75\r");
  backend.keyAt(kIdle + 1.3, extendedKey(key::kF4));  // save and exit
  capture(kIdle + 1.6, panelAfter, 40, P + 2, 15);
  runUntil(kIdle + 1.8);
  EXPECT_EQ(screenTitle, "Reference Load");
  EXPECT_EQ(panelAfter, " Reference Load");
  EXPECT_EQ(program.settings().refR, 75.0f);
  EXPECT_EQ(readSettings(dir.settings())->refR, 75.0f);
}

TEST(PortSetting, F2DuringTheSplashSavesTheTypedPortInConfigu) {
  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen(backend);
  ImpedanceAnalyzer program(screen, noInstrument(), dir.settings());
  backend.keyAt(0.3, extendedKey(key::kF2));
  backend.keyAt(0.5, "5");
  backend.keyAt(0.6, extendedKey(key::kF4));
  backend.keyAt(kIdle, "\x1b");
  program.run();
  std::ifstream in(dir.settings(), std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 26u);
  EXPECT_EQ(bytes[0], 5);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(program.link().portNumber, 5);
}

}  // namespace
}  // namespace vna

namespace vna {
namespace {

TEST_F(PanelScenario, SpaceStartsAScanAgainAndTheExitButtonEndsTheProgram) {
  bool scanningAfterSpace = false;
  backend.keyAt(kIdle, " ");
  backend.actionAt(kIdle + 1.0, [&] { scanningAfterSpace = program.control().scanning(); });
  // The new scan times out again after seven seconds; then Exit.
  click(kIdle + 12.0, 42, P + 4);
  program.run();
  EXPECT_TRUE(scanningAfterSpace);
  EXPECT_FALSE(program.control().scanning());
  EXPECT_NEAR(screen.timer(), kIdle + 12.1, 0.05);  // ended by the click, not by a give-up
}

}  // namespace
}  // namespace vna
