#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "platform/font.h"
#include "platform/numeric.h"

#include "platform/headless_backend.h"
#include "platform/screen.h"

namespace vna {
namespace {

struct ScreenTest : ::testing::Test {
  HeadlessBackend backend;
  Screen screen{backend};

  int countColour(int colour) const {
    int n = 0;
    for (int y = 0; y < kScreenHeight; ++y)
      for (int x = 0; x < kScreenWidth; ++x) n += screen.framebuffer().pixel(screen.drawingPage(), x, y) == colour;
    return n;
  }
};

TEST(Picture, PrintsRoundedRightAlignedAtThePicturesWidth) {
  EXPECT_EQ(formatPicture("##########.###", -12.5), "       -12.500");
  EXPECT_EQ(formatPicture("#########.##", 60000000), " 60000000.00");
  EXPECT_EQ(formatPicture("#########.##", 200), "      200.00");
  EXPECT_EQ(formatPicture("####.####", 0), "   0.0000");
  EXPECT_EQ(formatPicture("####.####", -999.5), "-999.5000");
  EXPECT_EQ(formatPicture("####.###", 50), "  50.000");
  EXPECT_EQ(formatPicture("##########.###", 1234.56789), "      1234.568");
  EXPECT_EQ(formatPicture("##########.###", 0.0004), "         0.000");
  EXPECT_EQ(formatPicture("##########.##", 99999999.99), "  99999999.99");
  EXPECT_EQ(formatPicture("#######.#####", -0.123456), "     -0.12346");
  // The readout pictures of the transmission programs.
  EXPECT_EQ(formatPicture("#####.#####", -3.0103), "   -3.01030");
  EXPECT_EQ(formatPicture("########.######", 0.7071067811), "       0.707107");
  EXPECT_EQ(formatPicture("######.#####", 179.999996), "   180.00000");
  EXPECT_EQ(formatPicture("######.######", -0.0000015), "    -0.000002");
}

TEST(Picture, KeepsItsWidthForValuesItCannotHold) {
  // A value that rounds to zero loses its sign; one too wide or not finite
  // still fills exactly the picture so the panel keeps its columns.
  EXPECT_EQ(formatPicture("####.####", -0.00001), "   0.0000");
  EXPECT_EQ(formatPicture("####.####", 123456.0).size(), 9u);
  EXPECT_EQ(formatPicture("##########.###", std::nan("")).size(), 14u);
  EXPECT_EQ(formatPicture("##########.###", -std::numeric_limits<double>::infinity()), "          -inf");
  EXPECT_EQ(formatPicture("##########.###", 1e300).size(), 14u);
}

TEST(Number, BlankOrMinusThenDigitsWithoutTrailingZeros) {
  EXPECT_EQ(formatNumber(40), " 40");
  EXPECT_EQ(formatNumber(5120), " 5120");
  EXPECT_EQ(formatNumber(801), " 801");
  EXPECT_EQ(formatNumber(-3), "-3");
  EXPECT_EQ(formatNumber(0), " 0");
  EXPECT_EQ(formatNumber(-0.0), " 0");
  EXPECT_EQ(formatNumber(0.5), " 0.5");
  EXPECT_EQ(formatNumber(-1.25), "-1.25");
  EXPECT_EQ(formatNumber(0.1), " 0.1");
}

TEST_F(ScreenTest, LineIncludesBothEndsAndRoundsHalvesAwayFromZero) {
  screen.line(0.5, 0.5, 10.5, 0.5, 5);  // 0.5 rounds to 1, 10.5 to 11
  EXPECT_EQ(screen.readPixel(0, 1), 0);
  EXPECT_EQ(screen.readPixel(1, 1), 5);
  EXPECT_EQ(screen.readPixel(11, 1), 5);
  EXPECT_EQ(screen.readPixel(12, 1), 0);
  EXPECT_EQ(countColour(5), 11);

  screen.line(20, 20, 30, 25, 6);  // a shallow diagonal: one pixel per column, both ends
  EXPECT_EQ(countColour(6), 11);
  EXPECT_EQ(screen.readPixel(20, 20), 6);
  EXPECT_EQ(screen.readPixel(30, 25), 6);
  screen.line(40, 60, 42, 40, 7);  // steep and drawn upwards
  EXPECT_EQ(countColour(7), 21);
  EXPECT_EQ(screen.readPixel(40, 60), 7);
  EXPECT_EQ(screen.readPixel(42, 40), 7);
  screen.line(-0.5, 100, -0.4, 100, 8);  // -0.5 rounds to -1 (off screen), -0.4 to 0
  EXPECT_EQ(countColour(8), 1);
}

TEST_F(ScreenTest, DrawingIsClippedToTheScreen) {
  screen.line(-100, 10, 2000, 10, 3);
  EXPECT_EQ(countColour(3), kScreenWidth);
  screen.line(-1e12, -1e12, 1e12, 1e12, 4);  // far outside: only the diagonal's visible part
  EXPECT_EQ(countColour(4), kScreenHeight);
  screen.line(std::nan(""), 0, 10, 10, 9);
  screen.line(0, 0, std::numeric_limits<double>::infinity(), 10, 9);
  EXPECT_EQ(countColour(9), 0);
  screen.fillBox(1020, 760, 1100, 800, 11);
  EXPECT_EQ(countColour(11), 4 * 8);
  screen.box(-5, -5, 4, 4, 12);  // only the right and bottom sides are on screen
  EXPECT_EQ(countColour(12), 5 + 5 - 1);
  screen.pixel(1024, 0, 13);
  screen.pixel(-1, 5, 13);
  EXPECT_EQ(countColour(13), 0);
}

TEST(RoundPixel, RoundsHalvesAwayFromZeroLikeTheLibrary) {
  for (const double x : {0.5, -0.5, 1.5, -1.5, 2.5, -2.5, 0.49999999999999994, -0.49999999999999994, 0.0, -0.0,
                         4503599627370495.5 / 1e7, 1e9 - 0.5, -1e9 + 0.5, 123456.4999999, -98765.5000001})
    EXPECT_EQ(roundPixel(x), static_cast<std::int64_t>(std::round(x))) << x;
  std::mt19937 random(3);
  std::uniform_real_distribution<double> any(-2e6, 2e6);
  for (int k = 0; k < 100000; ++k) {
    const double x = k % 2 ? any(random) : std::floor(any(random)) + 0.5;  // every other one a half
    ASSERT_EQ(roundPixel(x), static_cast<std::int64_t>(std::round(x))) << x;
  }
  EXPECT_EQ(roundPixel(3e9), 1000000000);  // saturated
  EXPECT_EQ(roundPixel(-3e9), -1000000000);
  EXPECT_EQ(roundPixel(std::nan("")), 0);
}

// Every pixel of a line is the rounded point of the ideal line at its step
// along the longer axis, however steep, long or far off the screen the line
// runs: lines drawn by the screen against that rule, computed pixel by
// pixel with a division each.
TEST_F(ScreenTest, LinesArePixelForPixelTheRoundedIdealLine) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> x(-400.0, 1400.0), y(-400.0, 1200.0), far(-3e4, 3e4);
  for (int trial = 0; trial < 400; ++trial) {
    double x1 = x(random), y1 = y(random), x2 = x(random), y2 = y(random);
    if (trial % 4 == 1) x2 = x1 + (trial % 7) - 3;  // near vertical
    if (trial % 4 == 2) y2 = y1 + (trial % 5) - 2;  // near horizontal
    if (trial % 10 == 3) x1 = far(random), y1 = far(random);
    screen.clearPage();
    screen.line(x1, y1, x2, y2, 9);
    std::vector<std::uint8_t> want(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, 0);
    const std::int64_t ax = roundPixel(x1), ay = roundPixel(y1), bx = roundPixel(x2), by = roundPixel(y2);
    const std::int64_t dx = bx - ax, dy = by - ay;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t steps = std::max<std::int64_t>(1, std::max(std::llabs(dx), std::llabs(dy)));
    const std::int64_t tEnd = std::max(std::llabs(dx), std::llabs(dy));
    for (std::int64_t t = 0; t <= tEnd; ++t) {
      const std::int64_t major = (xMajor ? ax : ay) + ((xMajor ? dx : dy) > 0 ? t : -t);
      const long double minor = (xMajor ? ay : ax) + std::floor((2.0L * t * (xMajor ? dy : dx) + steps) / (2.0L * steps));
      const std::int64_t px = xMajor ? major : static_cast<std::int64_t>(minor);
      const std::int64_t py = xMajor ? static_cast<std::int64_t>(minor) : major;
      if (px >= 0 && py >= 0 && px < kScreenWidth && py < kScreenHeight)
        want[static_cast<std::size_t>(py) * kScreenWidth + static_cast<std::size_t>(px)] = 9;
    }
    for (int py = 0; py < kScreenHeight; ++py) {
      const std::uint8_t* got = screen.framebuffer().row(screen.drawingPage(), py);
      const std::uint8_t* expected = &want[static_cast<std::size_t>(py) * kScreenWidth];
      if (std::equal(got, got + kScreenWidth, expected)) continue;
      const auto px = std::mismatch(got, got + kScreenWidth, expected).first - got;
      FAIL() << "line " << trial << " (" << x1 << ", " << y1 << ") - (" << x2 << ", " << y2 << ") at " << px << ", "
             << py;
    }
  }
}

TEST_F(ScreenTest, TextPaintsWholeCellsAndIsReadBackThroughTheShadow) {
  screen.locate(3, 5);
  screen.color(14, 1);
  screen.print("A\xEA\xB3", true);
  EXPECT_EQ(screen.textAt(3, 5, 3), "A\xEA\xB3");
  EXPECT_EQ(screen.cursorRow(), 4);
  EXPECT_EQ(screen.cursorColumn(), 1);
  const TextCell& cell = screen.framebuffer().cell(0, 3, 6);
  EXPECT_EQ(cell.fg, 14);
  EXPECT_EQ(cell.bg, 1);
  // Every pixel of the cell is either glyph or background: the ohm sign and
  // the bar are real glyphs.
  int glyph = 0, back = 0;
  for (int y = 32; y < 48; ++y)
    for (int x = 40; x < 48; ++x) (screen.readPixel(x, y) == 14 ? glyph : back) += screen.readPixel(x, y) == 14 || screen.readPixel(x, y) == 1;
  EXPECT_GT(glyph, 10);
  EXPECT_EQ(glyph + back, 128);
  screen.printAt(1, 126, "abcdef");  // runs off the grid: dropped, not wrapped
  EXPECT_EQ(screen.textAt(1, 126, 3), "abc");
  EXPECT_EQ(screen.textAt(2, 1, 3), "   ");
}

// Every glyph is painted bit for bit from the font, the leftmost pixel from
// the most significant bit, in the foreground on the background colour.
TEST_F(ScreenTest, GlyphsArePaintedBitForBitFromTheFont) {
  for (int ch = 0; ch < 256; ++ch) {
    const int row = 1 + ch / 64 * 2, column = 1 + ch % 64 * 2;
    screen.color(1 + ch % 15, 200 - ch % 7);
    screen.locate(row, column);
    screen.print(std::string(1, static_cast<char>(ch)));
  }
  for (int ch = 0; ch < 256; ++ch) {
    const int x0 = ch % 64 * 2 * 8, y0 = ch / 64 * 2 * 16;
    for (int r = 0; r < 16; ++r) {
      for (int c = 0; c < 8; ++c) {
        const bool set = kCp437Font[ch].rows[static_cast<std::size_t>(r)] & (0x80 >> c);
        ASSERT_EQ(screen.readPixel(x0 + c, y0 + r), set ? 1 + ch % 15 : 200 - ch % 7)
            << "glyph " << ch << " row " << r << " pixel " << c;
      }
    }
  }
}

TEST_F(ScreenTest, PagesCopyPixelsAndTextAndClearResetsBoth) {
  screen.setPages(2, 0);
  screen.printAt(10, 10, "background");
  screen.copyPage(2, 1);
  screen.setPages(1, 0);
  screen.printAt(11, 10, "composition");
  EXPECT_EQ(screen.textAt(10, 10, 10), std::string(10, ' '));  // nothing shown yet
  screen.copyPage(1, 0);
  EXPECT_EQ(screen.textAt(10, 10, 10), "background");
  EXPECT_EQ(screen.textAt(11, 10, 11), "composition");
  EXPECT_EQ(screen.textAtPage(2, 11, 10, 11), std::string(11, ' '));
  screen.setPages(0, 0);
  screen.locate(5, 5);
  screen.clearPage();
  EXPECT_EQ(screen.textAt(10, 10, 10), std::string(10, ' '));
  EXPECT_EQ(screen.cursorRow(), 1);
  EXPECT_EQ(screen.cursorColumn(), 1);
  EXPECT_EQ(screen.textAtPage(2, 10, 10, 10), "background");
}

TEST_F(ScreenTest, KeysComeAsOneByteOrAsAnExtendedPairInOrder) {
  backend.keyAt(0, extendedKey(key::kF2));
  backend.keyAt(0, std::string(1, key::kEsc));
  for (int i = 0; i < 16; ++i) backend.keyAt(0, std::string(1, static_cast<char>('a' + i)));
  const std::string f2 = screen.readKey();
  ASSERT_EQ(f2.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(f2[0]), 255);
  EXPECT_EQ(static_cast<unsigned char>(f2[1]), 60);
  EXPECT_EQ(screen.readKey(), "\x1b");
  for (int i = 0; i < 16; ++i) EXPECT_EQ(screen.readKey(), std::string(1, static_cast<char>('a' + i)));
  EXPECT_EQ(screen.readKey(), "");
}

TEST_F(ScreenTest, MouseKeepsTheWheelCounterAndIsMinusOneOutside) {
  backend.mouseAt(0, 100, 200, 1);
  backend.wheelAt(0, 3);
  MouseState m = screen.readMouse();
  EXPECT_EQ(m.x, 100);
  EXPECT_EQ(m.y, 200);
  EXPECT_EQ(m.buttons, 1);
  EXPECT_EQ(m.wheel, 3);
  backend.wheelAt(0.01, -1);
  screen.sleep(20);
  EXPECT_EQ(screen.readMouse().wheel, 2);
  backend.mouseAt(0.03, -1, -1);
  screen.sleep(20);
  m = screen.readMouse();
  EXPECT_EQ(m.x, -1);
  EXPECT_EQ(m.y, -1);
  EXPECT_EQ(m.wheel, -1);
  EXPECT_EQ(m.buttons, -1);
}

TEST_F(ScreenTest, APressOverBeforeTheReadIsReadOnceAsHeldThenAsReleased) {
  for (const int button : {1, 2}) {
    const double t = screen.timer();
    backend.quickClickAt(t + 0.005, 100, 200, button);
    screen.sleep(20);  // press and release are taken in by the same pump
    const MouseState m = screen.readMouse();
    EXPECT_EQ(m.buttons, button);
    EXPECT_EQ(m.x, 100);
    EXPECT_EQ(screen.readMouse().buttons, 0) << "button " << button;
  }
  // A button held down stays held from read to read, and reads released once let go.
  backend.buttonsAt(screen.timer() + 0.005, 1);
  screen.sleep(10);
  EXPECT_EQ(screen.readMouse().buttons, 1);
  EXPECT_EQ(screen.readMouse().buttons, 1);
  backend.buttonsAt(screen.timer() + 0.005, 0);
  screen.sleep(10);
  EXPECT_EQ(screen.readMouse().buttons, 0);
}

TEST_F(ScreenTest, LongSleepsEndEarlyOnAWaitingKeyWhichStaysUnread) {
  backend.keyAt(0, "x");
  double start = screen.timer();
  screen.sleep(1200);
  EXPECT_EQ(screen.timer(), start);  // a key already waiting: back at once
  EXPECT_EQ(screen.readKey(), "x");

  start = screen.timer();
  backend.keyAt(start + 0.31, "y");
  screen.sleep(1200);
  EXPECT_GT(screen.timer() - start, 0.31);
  EXPECT_LE(screen.timer() - start, 0.31 + 0.05 + 1e-9);  // within a 50 ms slice
  EXPECT_EQ(screen.readKey(), "y");

  start = screen.timer();
  backend.keyAt(start + 0.01, "z");
  screen.sleep(60);  // short sleeps are plain waits
  EXPECT_NEAR(screen.timer() - start, 0.060, 1e-9);
  start = screen.timer();
  screen.sleep(1230);  // no key: the full time, 50 ms slices plus the rest
  EXPECT_NEAR(screen.timer() - start, 0.0, 1e-9);  // "z" is waiting, so at once
  EXPECT_EQ(screen.readKey(), "z");
  start = screen.timer();
  screen.sleep(1230);
  EXPECT_NEAR(screen.timer() - start, 1.230, 1e-9);
  start = screen.timer();
  screen.sleep(0);
  EXPECT_EQ(screen.timer(), start);
}

TEST_F(ScreenTest, TheCloseButtonReadsAsEscapeEverywhere) {
  backend.closeAt(0.5);
  screen.sleep(400);
  EXPECT_EQ(screen.readKey(), "");
  screen.sleep(2000);  // ends early: the close counts as a waiting key
  EXPECT_LT(screen.timer(), 0.6);
  EXPECT_EQ(screen.readKey(), "\x1b");
  EXPECT_EQ(screen.readKey(), "\x1b");
}

TEST_F(ScreenTest, PaletteEntriesAreKept) {
  screen.setPalette(7, 0, 76, 76);
  EXPECT_EQ(screen.getPalette(7), (Rgb{0, 76, 76}));
  EXPECT_EQ(screen.getPalette(200), (Rgb{0, 0, 0}));
}

}  // namespace
}  // namespace vna
