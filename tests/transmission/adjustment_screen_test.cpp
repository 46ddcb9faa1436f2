#include "transmission/adjustment_screen.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "files/settings_file.h"
#include "platform/headless_backend.h"
#include "tests/files/screen_script.h"
#include "tests/files/temp_dir.h"

namespace vna {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Points inside the value fields (x 25..295; gain, phase, clock rows) and the buttons (y 705..720).
constexpr int kFieldX = 150;
constexpr int kFieldY[] = {56, 72, 88};
constexpr int kButtonY = 712;
constexpr int kSaveX = 500;
constexpr int kAwayX = 500, kAwayY = 300;
enum { Gain, Phase, Clock };

const std::string kEsc(1, key::kEsc), kBlank10(10, ' ');
const std::string kF4 = extendedKey(key::kF4), kF5 = extendedKey(key::kF5);

// Gain and phase as floats at offsets 2 and 6, the clock as an int32 at 14.
Bytes withAdjustment(Bytes bytes, const ArAdjustment& a) {
  bytes = testing::withFloat(testing::withFloat(std::move(bytes), 2, a.arGain), 6, a.arPhase);
  return testing::withWord(std::move(bytes), 14, static_cast<std::uint32_t>(a.clockHz));
}

class AdjustmentScreenTest : public ::testing::Test, public testing::ScreenScript {
 protected:
  AdjustmentScreenTest() { writeFile(file, original); }

  void enter(int field, std::string_view text) {
    click(kFieldX, kFieldY[field]);
    keys(text);
  }
  void run() { adjustmentScreen(screen, latch, file, inUse); }

  // The ten cells from column 28, where typing happens and gain and phase are shown.
  std::string shown(int field) const { return screen.textAt(4 + field, 28, 10); }

  static constexpr ArAdjustment kInUse{0.9f, 1.5f, 149990000};
  const Bytes original = withAdjustment(testing::kDistinctiveSettings, {1.05f, -2.5f, 150001234});
  TempDir dir;
  fs::path file = dir.path() / "configu";
  ArAdjustment inUse = kInUse;
};

TEST_F(AdjustmentScreenTest, ShowsTheFileValuesUnderTheTitleAndAboveTheNotes) {
  check([&] {
    expectText(1, 23, {14, 0}, "Adjustment");
    expectText(6, 5, {15, 0}, "clock frequency (Hz):");
    expectText(4, 28, {15, 0}, " 1.0500000");
    expectText(5, 28, {15, 0}, "-2.5000000");
    expectText(6, 29, {15, 0}, "150001234");  // the clock starts one column further right
    // The notes leave rows 20 and 22 free; a trailing blank is part of its note.
    expectText(9, 4, {6, 0}, "A and R inputs of the network analyzer. To do that : ");
    EXPECT_EQ(screen.textAt(20, 1, 90) + screen.textAt(22, 1, 90), std::string(180, ' '));
    expectText(21, 4, {6, 0}, "The clock frequency (Hz) must be >149980000 and <150020000 (3*quartz frequency)");
  });
  key(kEsc);
  run();
  EXPECT_EQ(screen.textAt(1, 23, 10), kBlank10);  // cleared for the caller
}

TEST_F(AdjustmentScreenTest, TypedValuesKeepTheirLimitsAndF4SavesExactlyTheirBytes) {
  click(kFieldX, kFieldY[Gain]);
  check([&] { expectText(4, 28, {0, 14}, "_         "); });
  keys("1.2001\r");
  check([&] { expectText(4, 28, {0, 14}, kBlank10); });  // refused: blanked, still typing
  keys("0.799\r");
  check([&] { EXPECT_EQ(shown(Gain), kBlank10); });
  keys("0.8\r");  // the notes' "0.8 < A/R gain": 0.8 itself is still taken
  check([&] { expectText(4, 28, {0, 15}, " 0.8000000"); });
  keys("1.20000000001");  // typed over the highlighted value: a new entry, nine characters at most
  check([&] { expectText(4, 28, {0, 14}, "1.2000000 "); });
  keys("\r");
  check([&] { expectText(4, 28, {0, 15}, " 1.2000000"); });  // accepted, still under the mouse

  enter(Phase, "-5.001\r");
  check([&] { EXPECT_EQ(shown(Phase), kBlank10); });
  keys("-0\r");
  check([&] { EXPECT_EQ(shown(Phase), " 0.0000000"); });

  enter(Clock, "150020000\r");
  check([&] { EXPECT_EQ(shown(Clock), kBlank10); });
  keys("149980000\r");
  check([&] { EXPECT_EQ(shown(Clock), kBlank10); });
  keys("149980001\r");
  check([&] { expectText(6, 28, {0, 15}, " 149980001"); });
  move(kAwayX, kAwayY);
  check([&] { expectText(6, 28, {15, 0}, " 149980001"); });  // no highlighted cell left over
  click(kSaveX, kButtonY, 2);                                // Save and Exit, with either button
  run();

  const ArAdjustment saved{1.2f, 0.0f, 149980001};
  EXPECT_EQ(inUse, saved);
  EXPECT_EQ(readFile(file), withAdjustment(original, saved));  // bytes 2..9, 14..17 and no other; a plain zero
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"configu"});
}

TEST_F(AdjustmentScreenTest, TypingOverAHighlightedValueStartsItsEntry) {
  move(kFieldX, kFieldY[Phase]);
  keys("-4.5\r");
  check([&] { expectText(5, 28, {0, 15}, "-4.5000000"); });
  move(kAwayX, kAwayY);
  keys("3\r");  // nothing highlighted: nothing typed
  check([&] { expectText(5, 28, {15, 0}, "-4.5000000"), expectText(4, 28, {15, 0}, " 1.0500000"); });

  // F4 and F5 are ignored while a number is typed; a key of the keyboard's extended set types nothing.
  move(kFieldX, kFieldY[Gain]);
  keys("1");
  key(kF5);
  key(kF4);
  key(extendedKey('5'));
  keys(".1\r");
  check([&] { EXPECT_EQ(shown(Gain) + shown(Phase), " 1.1000000-4.5000000"); });
  key(kEsc);
  run();
  EXPECT_EQ(readFile(file), original);
  EXPECT_EQ(inUse, kInUse);
}

TEST_F(AdjustmentScreenTest, LeavingWithoutSavingKeepsFileAndValuesInUse) {
  key(kF5);
  check([&] {
    EXPECT_EQ(shown(Gain) + shown(Phase) + shown(Clock), " 1.0000000 0.0000000 150000000");
    EXPECT_EQ(readFile(file), original);
  });
  key(kEsc);
  run();
  EXPECT_LT(backend.now(), t + 0.003);  // a key is read within the 2 ms of a pass
  EXPECT_EQ(readFile(file), original);
  EXPECT_EQ(inUse, kInUse);

  // Reopened, it shows the file again; Esc in the middle of a number leaves the whole screen.
  check([&] { EXPECT_EQ(shown(Clock), " 150001234"); });
  enter(Gain, "1.1");
  key(kEsc);
  run();
  EXPECT_LT(backend.now(), t + 0.1);
  EXPECT_EQ(screen.textAt(4, 5, 33), std::string(33, ' '));
  EXPECT_EQ(readFile(file), original);
  EXPECT_EQ(inUse, kInUse);
}

TEST_F(AdjustmentScreenTest, AFailedSaveIsShownAndChangesNothingInUse) {
  file = dir.path() / "settings";
  fs::create_directory(file);
  check([&] { EXPECT_EQ(shown(Gain) + shown(Clock), " 0.9000000 149990000"); });  // unreadable: the values in use
  enter(Gain, "1.1\r");
  key(kF4);
  check([&] {
    expectText(28, 4, {0, 6}, kSettingsNotWritten);
    EXPECT_EQ(shown(Gain), " 1.1000000");  // still open, nothing typed is lost
    EXPECT_EQ(inUse, kInUse);
  });
  key(kEsc);
  run();
  EXPECT_EQ(inUse, kInUse);
  EXPECT_TRUE(fs::is_directory(file));
}

TEST_F(AdjustmentScreenTest, UnusableFileValuesAndDefaultsPutTheClockBackInItsFirstPlace) {
  writeFile(file, withAdjustment(original, {std::numeric_limits<float>::infinity(), 4.0f, -150000000}));
  check([&] { EXPECT_EQ(shown(Gain) + shown(Phase) + shown(Clock), " 1.0000000 4.0000000 150000000"); });
  enter(Clock, "150010000\r");
  key(kF5);  // still under the mouse
  move(kAwayX, kAwayY);
  check([&] { expectText(6, 28, {15, 0}, " 150000000"), expectText(5, 28, {15, 0}, " 0.0000000"); });
  key(kF4);
  run();
  EXPECT_EQ(inUse, ArAdjustment{});
  EXPECT_EQ(readFile(file), withAdjustment(original, {1.0f, 0.0f, 150000000}));
}

// Nine typed characters cannot hold a clock with a fraction, so the rounding is checked on its own.
TEST(TypedClockTest, RoundsToTheNearestHertzWithHalvesToEven) {
  EXPECT_EQ(typedClockHz(150000000.4), 150000000);
  EXPECT_EQ(typedClockHz(150000000.5), 150000000);
  EXPECT_EQ(typedClockHz(149990001.5), 149990002);
  EXPECT_EQ(typedClockHz(150000000.6), 150000001);
}

TEST_F(AdjustmentScreenTest, HoverFollowsTheExactZones) {
  struct Probe {
    int x, y, lit;  // lit: gain, phase, clock; -1 none
  };
  const Probe probes[] = {{25, 49, 0},  {295, 64, 0}, {24, 56, -1}, {296, 56, -1}, {150, 48, -1},
                          {150, 65, 1}, {150, 80, 1}, {150, 81, 2}, {150, 96, 2},  {150, 97, -1}};
  for (const Probe& p : probes) {
    move(p.x, p.y);
    check([&, p] {
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(colours(4 + i, 37), p.lit == i ? Colours(0, 15) : Colours(15, 0)) << p.x << "," << p.y;
      // Until a value is typed the clock is printed from column 29: the cell before it is never lit.
      EXPECT_NE(colours(6, 28), Colours(0, 15)) << p.x << "," << p.y;
    });
  }
  key(kEsc);
  run();
}

}  // namespace
}  // namespace vna
