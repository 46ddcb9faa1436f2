// The impedance analyzer from start-up to Esc, without an instrument.
#include <gtest/gtest.h>

#include <map>

#include "scenario_support.h"

namespace vna {
namespace {

using testing::noInstrument;
using testing::panelRow;
using testing::WorkDirectory;

// The main screen's panel as the layout table gives it, for the start-up
// state: |z| and arg, log sweep from 200 Hz to 60 MHz, 401 points, 40 ms,
// calibration off, scanning. Columns 101 to 128.
std::map<int, std::string> expectedPanel() {
  std::map<int, std::string> rows;
  const auto put = [&](int row, int column, std::string text) {
    std::string& r = rows.try_emplace(row, std::string(28, ' ')).first->second;
    r.replace(static_cast<std::size_t>(column - 101), text.size(), text);
  };
  put(2, 103, " Impedance vs frequency  ");
  put(3, 103, "  \xB3z\xB3(\xEA) & arg(z)(deg)   ");
  put(6, 103, " \xB3z\xB3 ");
  put(6, 109, "Max:       100.000");
  put(7, 103, " (\xEA) ");
  put(7, 109, "MIN:         0.000");
  put(8, 108, "/div:        10.000");
  put(10, 103, " arg ");
  put(10, 109, "Max:       225.000");
  put(11, 103, "(deg)");
  put(11, 109, "MIN:      -225.000");
  put(12, 108, "/div:        45.000");
  put(14, 103, "freq  Max:  60000000.00");
  put(15, 103, "(Hz)  Min:       200.00");
  put(20, 107, "sweep: log   ");
  put(21, 103, "meas/scan: 401");
  put(22, 105, "ms/meas: 40");
  put(24, 103, "length(m):    0.0000");
  put(25, 103, "calibrate: off         ");
  put(26, 105, "display: \xEA,deg       ");
  put(28, 104, "Copy measure to Memory");
  put(29, 104, "Save measure to File");
  put(36, 103, " Stop    ");
  put(38, 103, " Help ");
  put(40, 103, " Reference Load");
  put(42, 103, " Exit ");
  // The level meter's labels, right of the buttons.
  put(35, 121, "A");
  put(35, 125, "R");
  put(36, 123, "0");
  put(39, 122, "-50");
  for (int row = 2; row <= 42; ++row) rows.try_emplace(row, std::string(28, ' '));
  return rows;
}

TEST(ImpedanceStartup, SplashSeesF2ThenTheMainScreenShowsThePanelAndEscEnds) {
  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen(backend);
  ImpedanceAnalyzer program(screen, noInstrument(), dir.settings());

  std::string splashTitle, portScreenTitle;
  backend.actionAt(0.2, [&] { splashTitle = screen.textAt(6, 38, 28); });
  backend.keyAt(0.5, extendedKey(key::kF2));
  backend.actionAt(0.6, [&] { portScreenTitle = screen.textAt(5, 40, 19); });
  backend.keyAt(0.7, "\x1b");  // leaves the Serial Port Setting screen only

  std::map<int, std::string> panel;
  std::string portMessage;
  backend.actionAt(4.5, [&] {
    for (int row = 2; row <= 42; ++row) panel[row] = panelRow(screen, row);
    portMessage = screen.textAt(10, 20, 29);
  });
  std::string timeout31, timeout32;
  backend.actionAt(20.0, [&] {
    timeout31 = screen.textAt(31, 103, 23);
    timeout32 = screen.textAt(32, 103, 23);
  });
  backend.keyAt(20.5, "\x1b");

  program.run();
  EXPECT_EQ(splashTitle, " A Network Analyzer program ");
  EXPECT_EQ(portScreenTitle, "Serial Port Setting");
  EXPECT_EQ(portMessage, "USB port could not be opended");
  const std::map<int, std::string> expected = expectedPanel();
  for (int row = 2; row <= 42; ++row) EXPECT_EQ(panel[row], expected.at(row)) << "panel row " << row;
  // Seven seconds without a reply, then the port cannot be opened again.
  EXPECT_EQ(timeout31, " USB port              ");
  EXPECT_EQ(timeout32, " could not be opended  ");
  EXPECT_EQ(program.control().procedureState, 0);
  EXPECT_FALSE(program.control().scanning());
  EXPECT_LT(screen.timer(), 21.0);
  EXPECT_TRUE(std::filesystem::exists(dir.settings()));
}

}  // namespace
}  // namespace vna

namespace vna {
namespace {

TEST(ImpedanceStartup, TheWindowsCloseButtonEndsTheProgramEvenWhileItWaitsForTheInstrument) {
  testing::WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen(backend);
  ImpedanceAnalyzer program(screen, testing::noInstrument(), dir.settings());
  backend.closeAt(5.0);  // during the first acquisition, which would wait 7 s for nothing
  program.run();
  EXPECT_LT(screen.timer(), 5.1);
}

}  // namespace
}  // namespace vna
