#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "display/help_pages.h"
#include "display/help_screen.h"
#include "platform/headless_backend.h"
#include "tests/scheduled_checks.h"

namespace vna {
namespace {

const HelpPage* const kAllPages[] = {&impedanceAnalyzerHelp(), &transmissionAnalyzerHelp(), &impedanceViewerHelp(),
                                     &transmissionViewerHelp()};
const std::string kEsc(1, static_cast<char>(key::kEsc));

// A point inside the "Exit Help" button (x 25..151, y 705..720).
constexpr int kButtonX = 80;
constexpr int kButtonY = 712;

class HelpScreenTest : public ::testing::Test {
 protected:
  HelpScreenTest() : backend(100.0), screen(backend) {}

  void run(const HelpPage& page) { helpScreen(screen, latch, page); }
  const TextCell& cell(int row, int column) const { return screen.framebuffer().cell(0, row, column); }
  // The text is at its place and every one of its cells has `colour` on black.
  void expectLine(int row, int column, int colour, std::string_view text) const {
    EXPECT_EQ(screen.textAt(row, column, static_cast<int>(text.size())), text) << "row " << row;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const TextCell& c = cell(row, column + static_cast<int>(i));
      EXPECT_EQ(c.fg, colour) << "row " << row << " column " << column + static_cast<int>(i);
      EXPECT_EQ(c.bg, 0) << "row " << row << " column " << column + static_cast<int>(i);
    }
  }

  void checkAt(double t, std::function<void()> f) { checks.at(t, std::move(f)); }

  HeadlessBackend backend;
  Screen screen;
  testing::ScheduledChecks checks{backend};
  ClickLatch latch;
};

TEST(HelpPages, EveryLineFitsTheGridAndEveryKeyWordMatchesTheLineItColours) {
  for (const HelpPage* const each : kAllPages) {
    const HelpPage& page = *each;
    ASSERT_FALSE(page.lines.empty());
    EXPECT_EQ(page.lines.front().text, "Help");
    EXPECT_EQ(page.lines.front().column, 33);
    EXPECT_EQ(page.lines.front().colour, 14);
    for (std::size_t i = 0; i < page.lines.size(); ++i) {
      const HelpLine& line = page.lines[i];
      SCOPED_TRACE(std::string(line.text));
      EXPECT_GE(line.row, 1);
      EXPECT_LT(line.row, 45);  // clear of the button row
      EXPECT_GE(line.column, 1);
      EXPECT_LE(line.column + static_cast<int>(line.text.size()) - 1, 128);
      if (line.colour != 6) continue;
      // A key word inside an earlier line of its row repeats that line's text there.
      for (std::size_t j = 0; j < i; ++j) {
        const HelpLine& earlier = page.lines[j];
        const int offset = line.column - earlier.column;
        if (earlier.row != line.row || earlier.colour == 6 || offset < 0 ||
            offset >= static_cast<int>(earlier.text.size()))
          continue;
        EXPECT_EQ(earlier.text.substr(static_cast<std::size_t>(offset), line.text.size()), line.text);
      }
    }
  }
}

TEST_F(HelpScreenTest, ImpedanceAnalyzerPage) {
  checkAt(0.1, [&] {
    expectLine(1, 33, 14, "Help");
    expectLine(3, 4, 15, "To start or stop a scan, press the space-bar or use the start/stop button");
    expectLine(4, 4, 15, "Choose between  - \xB3z\xB3(\xEA) & arg(z)(deg) :impedance (module & phase)");
    expectLine(13, 4, 15, "                - \xB3S11\xB3(U) & arg(s11)(deg) : s11 module (linear scale) & s11 phase");
    expectLine(18, 4, 15, "To setup the scales, you can use : k=kHz,m=MHz,n=nF,u=uF,u=uH,m=mH,k=k\xEA,m=M\xEA");
    expectLine(20, 4, 15, "To change a number, put the mouse cursor on this number then type the new number + \"enter\"");
    expectLine(23, 4, 15, "To calibrate, select \"calibrate: asked\" then \"start calibrate\".");
    expectLine(28, 4, 15,
               "To copy marker1 to Freq Min and marker2 to Freq Max, type CTRL+V (it's like a zoom function, but you "
               "have to scan again)");
    expectLine(33, 4, 12, "Inputs and outputs are DC coupled, do not put DC voltage on inputs and outputs");
    expectLine(34, 4, 12, "Do not exceed a maximun signal level of +7dBm on inputs A and R.");
    expectLine(38, 4, 15, "temperature");
    expectLine(45, 4, 1, "Exit Help (Esc)");
    EXPECT_EQ(screen.textAt(2, 1, 128), std::string(128, ' '));
  });
  backend.keyAt(0.2, kEsc);
  run(impedanceAnalyzerHelp());
}

TEST_F(HelpScreenTest, TransmissionAnalyzerPageWithItsKeyWords) {
  checkAt(0.1, [&] {
    expectLine(2, 33, 14, "Help");
    expectLine(5, 4, 15, "Choose between  - ");
    expectLine(5, 22, 6, "gain & phase");
    expectLine(5, 34, 15, " ( insertion gain : dB scale & deg scale )");
    expectLine(7, 22, 6, "gain & delay");
    expectLine(8, 4, 15, "Adjust the scales to your needs: ");
    expectLine(8, 37, 6, "dB, U, deg, us, Hz");
    expectLine(8, 56, 15, "(you can use k=kHz, m=MHz)");
    expectLine(10, 33, 6, "delay aperture");
    expectLine(10, 111, 6, "meas/scan");
    expectLine(10, 120, 15, ")");
    expectLine(16, 4, 15, "To normalize, select ");
    expectLine(16, 25, 6, "normalize: asked");
    expectLine(16, 48, 6, "Start normalize");
    expectLine(17, 108, 6, "normalize=warning");
    expectLine(21, 4, 15, "With ");
    expectLine(21, 9, 6, "length(m)");
    expectLine(21, 18, 15, " you can add (or remove) an electrical length to the R input (if normalize=off)");
    expectLine(24, 4, 12, "Do not exceed a maximun signal level of +7dBm on inputs A and R.");
    expectLine(28, 4, 15, "temperature");
  });
  backend.keyAt(0.2, kEsc);
  run(transmissionAnalyzerHelp());
}

TEST_F(HelpScreenTest, ImpedanceViewerPage) {
  checkAt(0.1, [&] {
    expectLine(2, 33, 14, "Help");
    expectLine(6, 4, 15, "                - Re(z)(\xEA) & Im(z)(\xEA)  :real part and imaginary part of z");
    expectLine(15, 4, 15, "                - \xB3z\xB3(\xEA) : impedance module (log scale)");
    expectLine(17, 46, 6, "parameters");
    expectLine(21, 37, 6, "\xEA, deg, pF, nH, U, Hz");
    expectLine(22, 4, 15, "To setup the scales, you can use : n=nF,u=uF,u=uH,m=mH,k=k\xEA,m=M\xEA");
    expectLine(23, 16, 6, "markers");
    expectLine(25, 4, 15, "To get a copy of the screen (a bmp file), use ");
    expectLine(25, 50, 6, "Copy Screen to File");
  });
  backend.keyAt(0.2, kEsc);
  run(impedanceViewerHelp());
}

TEST_F(HelpScreenTest, TransmissionViewerPage) {
  checkAt(0.1, [&] {
    expectLine(2, 33, 14, "Help");
    expectLine(9, 4, 15, "Select the ");
    expectLine(9, 15, 6, "parameters");
    expectLine(9, 25, 15, "  to be displayed - S21 ( forward insertion gain )");
    expectLine(11, 4, 15, "                                       - S21 & S12");
    expectLine(17, 37, 6, "dB, U, deg, us ");
    expectLine(18, 111, 6, "meas/scan");
    expectLine(20, 4, 15, "With ");
    expectLine(20, 9, 6, "display");
    expectLine(20, 16, 15, ", you can choose to display only the gain ");
    expectLine(22, 50, 6, "Copy Screen to File");
  });
  backend.keyAt(0.2, kEsc);
  run(transmissionViewerHelp());
}

TEST_F(HelpScreenTest, EscAndClicksOnTheButtonLeave) {
  backend.keyAt(0.5, kEsc);
  run(impedanceAnalyzerHelp());
  EXPECT_GE(backend.now(), 0.5);
  EXPECT_LT(backend.now(), 0.6);
  EXPECT_EQ(screen.textAt(1, 33, 4), "Help");  // leaving does not clear: the caller redraws

  backend.clickAt(1.0, kButtonX, kButtonY, 1);
  run(transmissionAnalyzerHelp());
  EXPECT_GE(backend.now(), 1.0);
  EXPECT_LT(backend.now(), 1.1);

  backend.clickAt(2.0, 151, 720, 2);  // right button, corner of the zone
  run(transmissionViewerHelp());
  EXPECT_GE(backend.now(), 2.0);
  EXPECT_LT(backend.now(), 2.1);
}

TEST_F(HelpScreenTest, ClicksOutsideTheZoneOtherKeysAndTheWheelDoNothing) {
  backend.clickAt(0.1, 24, kButtonY);   // x bounds are exclusive
  backend.clickAt(0.2, 152, kButtonY);
  backend.clickAt(0.3, kButtonX, 704);  // y from 705 to 720
  backend.clickAt(0.4, kButtonX, 721);
  backend.clickAt(0.5, 500, 300, 2);
  backend.clickAt(0.6, kButtonX, kButtonY, 4);  // middle button
  backend.mouseAt(0.7, kButtonX, kButtonY);
  backend.wheelAt(0.8, 3);
  backend.wheelAt(0.9, -2);
  backend.keyAt(1.0, " ");
  backend.keyAt(1.1, extendedKey(key::kF4));
  backend.keyAt(1.2, "q");
  checkAt(1.5, [&] {
    EXPECT_EQ(screen.textAt(2, 33, 4), "Help");
    EXPECT_EQ(screen.textAt(45, 4, 15), "Exit Help (ESC)");
  });
  backend.keyAt(2.0, kEsc);
  run(impedanceViewerHelp());
  EXPECT_GE(backend.now(), 2.0);
  EXPECT_LT(backend.now(), 2.1);
}

TEST_F(HelpScreenTest, HoveringRecoloursTheButton) {
  checkAt(0.1, [&] { EXPECT_EQ(cell(45, 4), (TextCell{'E', 1, 0})); });
  backend.mouseAt(0.2, 25, 705);
  checkAt(0.3, [&] {
    EXPECT_EQ(screen.textAt(45, 4, 15), "Exit Help (ESC)");
    EXPECT_EQ(cell(45, 4), (TextCell{'E', 0, 1}));
    EXPECT_EQ(cell(45, 18), (TextCell{')', 0, 1}));
  });
  backend.mouseAt(0.4, 25, 704);
  checkAt(0.5, [&] {
    EXPECT_EQ(screen.textAt(45, 4, 15), "Exit Help (ESC)");
    EXPECT_EQ(cell(45, 4), (TextCell{'E', 1, 0}));
    EXPECT_EQ(cell(45, 18), (TextCell{')', 1, 0}));
  });
  backend.keyAt(0.6, kEsc);
  run(transmissionAnalyzerHelp());
}

TEST_F(HelpScreenTest, AButtonHeldFromTheCallerDoesNotLeaveUntilPressedAgain) {
  latch.left = true;  // the press on the panel's Help button, still held
  backend.mouseAt(0.0, kButtonX, kButtonY, 1);
  backend.buttonsAt(0.3, 0);
  backend.buttonsAt(0.5, 1);
  run(impedanceAnalyzerHelp());
  EXPECT_GE(backend.now(), 0.5);
  EXPECT_LT(backend.now(), 0.6);
}

// What the user reads: every line of each program's page at its place, and
// each cell in the colour of the last line written over it (a key word in
// colour 6 over the line it belongs to).
TEST_F(HelpScreenTest, EveryPageShowsAllItsLinesInTheirColours) {
  for (const HelpPage* const page : kAllPages) {
    std::map<std::pair<int, int>, int> colourOf;
    for (const HelpLine& line : page->lines)
      for (int i = 0; i < static_cast<int>(line.text.size()); ++i) colourOf[{line.row, line.column + i}] = line.colour;
    checkAt(backend.now() + 0.1, [&, page] {
      int shownCells = 0;
      for (const HelpLine& line : page->lines) {
        EXPECT_EQ(screen.textAt(line.row, line.column, static_cast<int>(line.text.size())), line.text)
            << "row " << line.row;
        for (int i = 0; i < static_cast<int>(line.text.size()); ++i) {
          const TextCell& c = cell(line.row, line.column + i);
          EXPECT_EQ(c.fg, (colourOf[{line.row, line.column + i}])) << "row " << line.row << " column " << line.column + i;
          shownCells += c.ch != ' ';
        }
      }
      EXPECT_GT(shownCells, 500);  // a page of text, not a few words
    });
    backend.keyAt(backend.now() + 0.2, kEsc);
    run(*page);
  }
}

TEST_F(HelpScreenTest, DrawsOnTheDrawingPage) {
  screen.setPages(1, 0);
  screen.printAt(1, 1, "main screen");
  screen.setPages(2, 0);
  backend.keyAt(0.1, kEsc);
  run(impedanceViewerHelp());
  EXPECT_EQ(screen.textAtPage(2, 2, 33, 4), "Help");
  EXPECT_EQ(screen.textAtPage(1, 1, 1, 11), "main screen");
  EXPECT_EQ(screen.textAtPage(0, 2, 33, 4), "    ");
}

}  // namespace
}  // namespace vna
