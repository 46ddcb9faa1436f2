#include "files/serial_port_screen.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "files/settings_file.h"
#include "platform/headless_backend.h"
#include "tests/files/temp_dir.h"
#include "tests/scheduled_checks.h"

namespace vna {
namespace {

namespace fs = std::filesystem;

// Pixel points inside the two buttons of row 45 (y 705..720).
constexpr int kButtonY = 712;
constexpr int kExitX = 60;
constexpr int kSaveX = 500;

const std::string kF4 = extendedKey(key::kF4);

class SerialPortScreenTest : public ::testing::Test {
 protected:
  SerialPortScreenTest() : backend(60.0), screen(backend) {}

  // Runs the screen with port 5 in use and the file holding `fileNumber`.
  void run(std::int16_t fileNumber = 7) {
    ASSERT_TRUE(writePortNumber(file, fileNumber));
    serialPortScreen(screen, latch, file, inUse);
  }
  std::int16_t filePort() const { return readSettings(file).value_or(SettingsFile{}).portNumber; }
  const TextCell& cell(int row, int column) const { return screen.framebuffer().cell(0, row, column); }
  void checkAt(double t, std::function<void()> f) { checks.at(t, std::move(f)); }

  TempDir dir;
  fs::path file = dir.path() / kSettingsFileName;
  HeadlessBackend backend;
  Screen screen;
  testing::ScheduledChecks checks{backend};
  ClickLatch latch;
  std::int16_t inUse = 5;
};

TEST_F(SerialPortScreenTest, ShowsItsTextsInTheirPlacesAndColours) {
  checkAt(0.1, [&] {
    EXPECT_EQ(screen.textAt(5, 40, 19), "Serial Port Setting");
    EXPECT_EQ(cell(5, 40).fg, 14);
    EXPECT_EQ(screen.textAt(8, 43, 9), "ttyUSB : ");
    EXPECT_EQ(cell(8, 43).fg, 15);
    // The number of the file, black on colour 15, as a number is printed: a blank then the digits.
    EXPECT_EQ(screen.textAt(8, 52, 2), " 7");
    EXPECT_EQ(cell(8, 53), (TextCell{'7', 0, 15}));
    EXPECT_EQ(screen.textAt(20, 5, 25), "Within  /dev/  directory ");
    EXPECT_EQ(screen.textAt(21, 5, 107),
              "find the name of the file used to talk to the FT232R USB Serial Port : ttyUSB0 or ttyUSB1 or "
              "ttyUSB2 ...etc");
    EXPECT_EQ(screen.textAt(23, 5, 52), "Write this file name in this menu, then Save & Exit ");
    EXPECT_EQ(cell(21, 5).fg, 6);
    EXPECT_EQ(cell(23, 56).fg, 6);
    EXPECT_EQ(screen.textAt(45, 4, 10), "Exit (ESC)");
    EXPECT_EQ(screen.textAt(45, 55, 18), "Save and Exit (F4)");
    EXPECT_EQ(cell(45, 4), (TextCell{'E', 1, 0}));
    EXPECT_EQ(cell(45, 72), (TextCell{')', 1, 0}));
    EXPECT_EQ(screen.textAt(1, 1, 20), std::string(20, ' '));  // the screen was cleared
  });
  backend.keyAt(0.2, std::string(1, key::kEsc));
  screen.color(15, 0);
  screen.printAt(1, 1, "left from the caller");
  run();
}

TEST_F(SerialPortScreenTest, TypedDigitsReplaceTheNumberAndF4SavesIt) {
  backend.keyAt(0.1, "1");
  checkAt(0.15, [&] { EXPECT_EQ(screen.textAt(8, 52, 2), " 1"); });
  backend.keyAt(0.2, "2");
  checkAt(0.25, [&] { EXPECT_EQ(screen.textAt(8, 52, 2), " 2"); });
  backend.keyAt(0.3, "x");  // not a digit: ignored
  backend.keyAt(0.4, kF4);
  run();
  EXPECT_EQ(inUse, 2);
  EXPECT_EQ(filePort(), 2);
  EXPECT_LT(backend.now(), 1.0);  // left on F4, not when the window gave up
}

TEST_F(SerialPortScreenTest, EscLeavesFileAndNumberInUseUnchanged) {
  backend.keyAt(0.1, "4");
  backend.keyAt(0.2, std::string(1, key::kEsc));
  run(7);
  EXPECT_EQ(inUse, 5);
  EXPECT_EQ(filePort(), 7);

  // A click on Exit leaves the same way.
  backend.keyAt(1.0, "4");
  backend.clickAt(1.1, kExitX, kButtonY);
  serialPortScreen(screen, latch, file, inUse);
  EXPECT_EQ(inUse, 5);
  EXPECT_EQ(filePort(), 7);
  EXPECT_LT(backend.now(), 2.0);
}

TEST_F(SerialPortScreenTest, ClickOnSaveAndExitSaves) {
  backend.keyAt(0.1, "0");
  backend.clickAt(0.2, kSaveX, kButtonY, 2);  // the right button works too
  run(7);
  EXPECT_EQ(inUse, 0);
  EXPECT_EQ(filePort(), 0);
  EXPECT_LT(backend.now(), 1.0);
}

TEST_F(SerialPortScreenTest, HoveredButtonIsDrawnBlackOnColour1WithinItsExactZone) {
  struct Probe {
    int x, y;
    bool exitLit, saveLit;
  };
  // Zones: exit 24 < x < 120, save 432 < x < 584, both 704 < y < 721.
  const Probe probes[] = {
      {kSaveX, kButtonY, false, true}, {433, 705, false, true}, {583, 720, false, true},
      {432, kButtonY, false, false},   {584, kButtonY, false, false}, {kSaveX, 704, false, false},
      {kSaveX, 721, false, false},     {25, kButtonY, true, false},   {119, kButtonY, true, false},
      {24, kButtonY, false, false},    {120, kButtonY, false, false}, {kExitX, 600, false, false},
  };
  double t = 0.1;
  for (const Probe& p : probes) {
    backend.mouseAt(t, p.x, p.y);
    checkAt(t + 0.02, [&, p] {
      const int exitBg = p.exitLit ? 1 : 0, saveBg = p.saveLit ? 1 : 0;
      EXPECT_EQ(cell(45, 4), (TextCell{'E', static_cast<std::uint8_t>(1 - exitBg), static_cast<std::uint8_t>(exitBg)}))
          << p.x << "," << p.y;
      EXPECT_EQ(cell(45, 13).bg, exitBg) << p.x << "," << p.y;
      EXPECT_EQ(cell(45, 55), (TextCell{'S', static_cast<std::uint8_t>(1 - saveBg), static_cast<std::uint8_t>(saveBg)}))
          << p.x << "," << p.y;
      EXPECT_EQ(cell(45, 72).bg, saveBg) << p.x << "," << p.y;
    });
    t += 0.05;
  }
  backend.keyAt(t, std::string(1, key::kEsc));
  run();
  EXPECT_EQ(inUse, 5);  // hovering alone saves nothing
}

TEST_F(SerialPortScreenTest, AButtonHeldSinceBeforeTheScreenDoesNotAct) {
  // A press handled by the caller is still held when the screen opens over Save: it does nothing.
  latch.left = true;
  backend.mouseAt(0.0, kSaveX, kButtonY, 1);
  backend.buttonsAt(0.3, 0);
  checkAt(0.35, [&] { EXPECT_EQ(filePort(), 7); });
  backend.buttonsAt(0.4, 1);  // a new press saves
  run(7);
  EXPECT_EQ(inUse, 7);
  EXPECT_GE(backend.now(), 0.4);
  EXPECT_LT(backend.now(), 1.0);
}

TEST_F(SerialPortScreenTest, ANewDigitBlanksTheRestOfALongerNumber) {
  checkAt(0.1, [&] { EXPECT_EQ(screen.textAt(8, 52, 4), " 300"); });
  backend.keyAt(0.2, "4");
  checkAt(0.3, [&] {
    EXPECT_EQ(screen.textAt(8, 52, 4), " 4  ");
    EXPECT_EQ(cell(8, 55).bg, 0);
  });
  backend.keyAt(0.4, kF4);
  run(300);  // both bytes of the number in the file: 2C 01
  EXPECT_EQ(filePort(), 4);
}

TEST_F(SerialPortScreenTest, WithoutAValidFileTheNumberInUseIsEditedAndAFailedSaveIsShown) {
  const fs::path nowhere = dir.path() / "missing" / kSettingsFileName;
  checkAt(0.1, [&] { EXPECT_EQ(screen.textAt(8, 52, 2), " 5"); });
  backend.keyAt(0.2, "8");
  backend.keyAt(0.3, kF4);
  serialPortScreen(screen, latch, nowhere, inUse);
  EXPECT_EQ(inUse, 8);  // used for this run all the same
  EXPECT_FALSE(fs::exists(nowhere));
  EXPECT_EQ(screen.textAt(25, 5, 46), " Error: the file configu could not be written ");
  EXPECT_EQ(cell(25, 6).bg, 6);
}

}  // namespace
}  // namespace vna
