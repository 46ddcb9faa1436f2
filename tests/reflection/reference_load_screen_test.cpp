#include "reflection/reference_load_screen.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless_backend.h"
#include "tests/files/screen_script.h"
#include "tests/files/temp_dir.h"

namespace vna {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Points inside the value fields (x 25..295; R, L, C rows) and the buttons (y 705..720).
constexpr int kFieldX = 150;
constexpr int kFieldY[] = {88, 104, 120};
constexpr int kButtonY = 712;
constexpr int kExitX = 60, kDefaultsX = 250, kSaveX = 500;
enum { R, L, C };

const std::string kEsc(1, key::kEsc), kBackspace(1, key::kBackspace), kBlank8(8, ' ');
const std::string kF4 = extendedKey(key::kF4), kF5 = extendedKey(key::kF5);

// The three floats at offsets 10, 18 and 22.
Bytes withLoad(Bytes bytes, const ReferenceLoad& load) {
  return testing::withFloat(testing::withFloat(testing::withFloat(std::move(bytes), 10, load.refR), 18, load.refL),
                            22, load.refC);
}

class ReferenceLoadScreenTest : public ::testing::Test, public testing::ScreenScript {
 protected:
  ReferenceLoadScreenTest() { writeFile(file, original); }

  void enter(int field, std::string_view text) {
    click(kFieldX, kFieldY[field]);
    keys(text);
  }
  void run() { referenceLoadScreen(screen, latch, file, inUse); }

  std::string shown(int field) const { return screen.textAt(6 + field, 28, 8); }

  static constexpr ReferenceLoad kInUse{60.0f, 1e-9f, 1e-12f};
  const Bytes original = withLoad(testing::kDistinctiveSettings, {75.0f, 12.5e-9f, 3.3e-12f});
  TempDir dir;
  fs::path file = dir.path() / "configu";
  ReferenceLoad inUse = kInUse;
};

TEST_F(ReferenceLoadScreenTest, ShowsTheFileValuesInNanohenriesAndPicofaradsBesideTheLoadDrawing) {
  screen.printAt(30, 1, "left from the caller");
  check([&] {
    expectText(2, 40, {14, 0}, "Reference Load");
    EXPECT_EQ(screen.textAt(5, 52, 5) + screen.textAt(9, 54, 1), "L   RC");
    expectText(19, 6, {6, 0}, "if L & C values are unknown , use 0 ");
    expectText(6, 19, {15, 0}, "R (\xEA)  :");
    expectText(6, 28, {15, 0}, "  75.000");
    expectText(7, 28, {15, 0}, "  12.500");
    expectText(8, 28, {15, 0}, "   3.300");
    expectText(45, 22, {1, 0}, "Load Default Values (F5)");
    EXPECT_EQ(screen.textAt(30, 1, 20), std::string(20, ' '));
    // The drawing starts at (400, 92), all in colour 14, clear of the texts.
    EXPECT_EQ(screen.readPixel(400, 92), 14);
    int lit = 0;
    for (int y = 80; y < 160; ++y)
      for (int x = 300; x < 600; ++x)
        if (const int p = screen.readPixel(x, y); p != 0) lit += (p == 14) ? 1 : 1000;
    EXPECT_GT(lit, 100);
    EXPECT_LT(lit, 1000);
  });
  key(kEsc);
  run();
  EXPECT_EQ(screen.textAt(2, 40, 14), std::string(14, ' '));  // cleared for the caller
  EXPECT_EQ(screen.readPixel(400, 92), 0);
}

TEST_F(ReferenceLoadScreenTest, TypedValuesKeepTheirLimitsAndF4SavesExactlyTheirBytes) {
  click(kFieldX, kFieldY[R]);
  check([&] { expectText(6, 28, {0, 14}, "_       "); });
  keys("9999.999\r");
  check([&] { expectText(6, 28, {0, 14}, kBlank8); });  // refused: blanked, still typing
  keys("0.099\r");
  check([&] { expectText(6, 28, {0, 14}, kBlank8); });
  keys("0.19x");  // a letter types nothing
  key(kBackspace);
  check([&] { expectText(6, 28, {0, 14}, "0.1     "); });
  keys("\r");
  check([&] { expectText(6, 28, {0, 15}, "   0.100"); });  // accepted, still under the mouse

  enter(L, "-0.001\r");
  check([&] { EXPECT_EQ(shown(L), kBlank8); });
  keys("0\r");
  check([&] { EXPECT_EQ(shown(L), "   0.000"); });
  enter(L, "12.5\r");
  enter(C, "-1\r");
  check([&] { EXPECT_EQ(shown(C), kBlank8); });
  keys("0\r");
  check([&] { EXPECT_EQ(shown(C), "   0.000"); });
  enter(C, "0.00000012");  // nine characters at most, the ninth right of the field
  check([&] { EXPECT_EQ(screen.textAt(8, 28, 10), "0.0000001 "); });
  keys("\r");
  check([&] { expectText(8, 28, {0, 15}, "   0.000"), expectText(8, 36, {15, 0}, " "); });
  key(kF4);
  run();

  const ReferenceLoad saved{0.1f, 12.5e-9f, 1e-19f};
  EXPECT_EQ(inUse, saved);
  EXPECT_EQ(readFile(file), withLoad(original, saved));  // bytes 10..13, 18..25 and no other
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"configu"});
}

TEST_F(ReferenceLoadScreenTest, LeavingWithoutSavingKeepsFileAndValuesInUse) {
  enter(R, "68\r");
  key(kEsc);
  run();
  EXPECT_EQ(readFile(file), original);
  EXPECT_EQ(inUse, kInUse);

  // Reopened, it shows the file again; Esc in the middle of a number leaves the whole screen.
  check([&] { EXPECT_EQ(shown(R), "  75.000"); });
  enter(L, "12");
  key(kEsc);
  run();
  EXPECT_LT(backend.now(), t + 0.1);
  EXPECT_EQ(screen.textAt(7, 19, 17), std::string(17, ' '));

  enter(C, "5\r");
  click(kExitX, kButtonY, 2);  // Exit, with either button
  run();
  EXPECT_LT(backend.now(), t + 0.1);
  EXPECT_EQ(readFile(file), original);
  EXPECT_EQ(inUse, kInUse);
}

TEST_F(ReferenceLoadScreenTest, DefaultsChangeOnlyWhatIsShownUntilSaved) {
  key(kF5);
  check([&] {
    EXPECT_EQ(shown(R) + shown(L) + shown(C), "  50.000   0.000   0.000");
    EXPECT_EQ(readFile(file), original);
  });
  key(kEsc);
  run();
  EXPECT_EQ(readFile(file), original);
  EXPECT_EQ(inUse, kInUse);

  // The right button on Load Default Values only latches: dragged onto Exit it does not leave either.
  backend.mouseAt(next(), kDefaultsX, kButtonY, 2);
  backend.mouseAt(next(), kExitX, kButtonY, 2);
  check([&] { EXPECT_EQ(shown(R), "  75.000"); });
  click(kDefaultsX, kButtonY, 1);
  check([&] { EXPECT_EQ(shown(C), "   0.000"); });
  click(kSaveX, kButtonY, 2);
  run();
  EXPECT_EQ(inUse, ReferenceLoad{});
  EXPECT_EQ(readFile(file), withLoad(original, {50.0f, 0.0f, 0.0f}));
}

TEST_F(ReferenceLoadScreenTest, AFailedSaveIsShownAndChangesNothingInUse) {
  const fs::path notAFile = dir.path() / "settings";
  fs::create_directory(notAFile);
  check([&] { EXPECT_EQ(shown(R), "  60.000"); });  // unreadable: the values in use
  enter(R, "68\r");
  key(kF4);
  check([&] {
    expectText(21, 6, {0, 6}, " Error: the file configu could not be written ");
    EXPECT_EQ(shown(R), "  68.000");  // still open, nothing typed is lost
    EXPECT_EQ(inUse, kInUse);
  });
  key(kEsc);
  referenceLoadScreen(screen, latch, notAFile, inUse);
  EXPECT_EQ(inUse, kInUse);
  EXPECT_TRUE(fs::is_directory(notAFile));
}

TEST_F(ReferenceLoadScreenTest, HoverFollowsTheExactZones) {
  struct Probe {
    int x, y, lit;  // lit: R, L, C, then 3 + Exit, Defaults, Save; -1 none
  };
  const Probe probes[] = {
      {25, 81, 0},   {295, 96, 0},   {24, 88, -1},   {296, 88, -1},  {150, 80, -1},  {150, 97, 1},   {150, 112, 1},
      {150, 113, 2}, {150, 128, 2},  {150, 129, -1}, {25, 705, 3},   {119, 720, 3},  {24, 712, -1},  {120, 712, -1},
      {60, 704, -1}, {60, 721, -1},  {169, 712, 4},  {367, 712, 4},  {168, 712, -1}, {368, 712, -1}, {433, 705, 5},
      {583, 720, 5}, {432, 712, -1}, {584, 712, -1}, {500, 721, -1},
  };
  const int buttonStart[] = {4, 22, 55}, buttonEnd[] = {13, 45, 72};
  for (const Probe& p : probes) {
    backend.mouseAt(next(), p.x, p.y);
    check([&, p] {
      for (int i = 0; i < 3; ++i) {
        const Colours value = p.lit == i ? Colours{0, 15} : Colours{15, 0};
        const Colours button = p.lit == 3 + i ? Colours{0, 1} : Colours{1, 0};
        for (const int column : {28, 35}) EXPECT_EQ(colours(6 + i, column), value) << p.x << "," << p.y;
        for (const int column : {buttonStart[i], buttonEnd[i]})
          EXPECT_EQ(colours(45, column), button) << p.x << "," << p.y;
      }
    });
  }
  key(kEsc);
  run();
  EXPECT_EQ(inUse, kInUse);
}

TEST_F(ReferenceLoadScreenTest, OddValuesAreShownAndSavedSafely) {
  writeFile(file, withLoad(original, {std::numeric_limits<float>::quiet_NaN(), 2e-6f, 1e30f}));
  check([&] { EXPECT_EQ(shown(R) + shown(L) + shown(C), "  50.0002000.000********"); });  // NaN replaced
  enter(C, "-0\r");
  key(kF4);
  run();
  const ReferenceLoad saved{50.0f, 2e-6f, 0.0f};
  EXPECT_EQ(inUse, saved);
  EXPECT_EQ(readFile(file), withLoad(original, saved));  // a plain zero, not a negative one
}

}  // namespace
}  // namespace vna
