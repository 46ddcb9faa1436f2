#include <gtest/gtest.h>

#include "display/panel_fields.h"
#include "platform/headless_backend.h"

namespace vna {
namespace {

// The step is the weight of the digit under the pointer in the printed value:
// each digit column is 8 pixels wide, the value's first digit column starts at
// x = 896 (panel column 113), 0 over the decimal point and right of the value.
TEST(WheelStep, FollowsTheDigitUnderThePointerAtEveryColumnBoundary) {
  const double scale[] = {1e9, 1e8, 1e7, 1e6, 1e5, 1e4, 1e3, 100, 10, 1, 0, 0.1, 0.01, 0.001};
  const double frequency[] = {1e7, 1e7, 1e7, 1e6, 1e5, 1e4, 1e3, 100, 10, 1, 0, 0.1, 0.01, 0.001};
  const double length[] = {100, 100, 100, 10, 1, 0, 0.1, 0.01, 0.001, 0.0001, 0, 0, 0, 0};
  for (int column = 0; column < 14; ++column) {
    const int first = 896 + 8 * column, last = first + 7;
    SCOPED_TRACE("x from " + std::to_string(first));
    EXPECT_EQ(wheelStep(first, kScaleStepWeights), scale[column]);
    EXPECT_EQ(wheelStep(last, kScaleStepWeights), scale[column]);
    EXPECT_EQ(wheelStep(first, kFrequencyStepWeights), frequency[column]);
    EXPECT_EQ(wheelStep(last, kFrequencyStepWeights), frequency[column]);
    EXPECT_EQ(wheelStepLength(first), length[column]);
    EXPECT_EQ(wheelStepLength(last), length[column]);
  }
  // Left of the field: the weight of the leftmost digit; right of it: nothing.
  EXPECT_EQ(wheelStep(817, kScaleStepWeights), 1e9);
  EXPECT_EQ(wheelStep(850, kFrequencyStepWeights), 1e7);
  EXPECT_EQ(wheelStepLength(820), 100);
  EXPECT_EQ(wheelStep(1008, kScaleStepWeights), 0);
  EXPECT_EQ(wheelStep(1015, kFrequencyStepWeights), 0);
}

TEST(PanelZones, BoundsAreExclusiveAndCoverTheirTextRow) {
  const PanelField points = valueField(PanelItem::Points, 21, FieldKind::Choice);  // y 320..335
  EXPECT_FALSE(insideZone(points, 900, 319));
  EXPECT_TRUE(insideZone(points, 900, 320));
  EXPECT_TRUE(insideZone(points, 900, 335));
  EXPECT_FALSE(insideZone(points, 900, 336));
  EXPECT_FALSE(insideZone(points, 816, 330));
  EXPECT_TRUE(insideZone(points, 817, 330));
  EXPECT_FALSE(insideZone(points, 1016, 330));
  const PanelField exit = buttonField(PanelItem::Exit, 42, 968, " Exit ", " Exit           ", 103);
  EXPECT_TRUE(insideZone(exit, 967, 660));
  EXPECT_FALSE(insideZone(exit, 968, 660));
  EXPECT_FALSE(insideZone(exit, 824, 660));
}

struct Entry : ::testing::Test {
  HeadlessBackend backend;
  Screen screen{backend};
  int firstCharacters = 0;
  EntrySpec entry() {
    EntrySpec s;
    s.row = 14;
    s.column = 113;
    s.maxLength = 11;
    s.allowMinus = false;
    s.factorOf = [](char k, double typed) -> std::optional<double> {
      if (k == '\r') return 1.0;
      if (typed > 0 && k == 'k') return 1e3;
      return std::nullopt;
    };
    s.accept = [](double v) { return v > 9.0 && v < 99999999.98; };
    s.onFirstCharacter = [this] { ++firstCharacters; };
    return s;
  }
};

TEST_F(Entry, RefusedValuesBlankTheFieldAndTheEntryGoesOn) {
  backend.keysAt(0.0, "9\r");       // exactly 9: refused
  backend.keysAt(0.1, "0k");        // "k" needs a value above 0: ignored
  backend.keysAt(0.2, "-x/");       // minus not allowed here, others ignored
  backend.keysAt(0.3, "12");
  backend.keyAt(0.4, "\b");         // backspace
  backend.keysAt(0.5, ".5k");
  const EntryResult r = enterNumber(screen, entry(), "");
  EXPECT_EQ(r.end, EntryEnd::Accepted);
  EXPECT_EQ(r.value, 1500.0);       // "01" then ".5": 1.5 kHz
  EXPECT_EQ(firstCharacters, 1);
  EXPECT_EQ(screen.textAt(14, 113, 4), "01.5");
  EXPECT_EQ(screen.framebuffer().cell(0, 14, 113).bg, 14);
}

TEST_F(Entry, ThePendingKeyIsTakenFirstAndEscEndsTheEntry) {
  // "9" then ten more digits fill the 11 places; the rest is dropped and
  // 91234567890 is refused; then 250 is taken.
  backend.keysAt(0.0, "12345678901234\r");
  backend.keysAt(0.5, "250\r");
  EntryResult r = enterNumber(screen, entry(), "9");
  EXPECT_EQ(r.end, EntryEnd::Accepted);
  EXPECT_EQ(r.value, 250.0);
  backend.keysAt(backend.now() + 0.1, "\x1b");
  EXPECT_EQ(enterNumber(screen, entry(), "").end, EntryEnd::Exit);
}

TEST(LeadingNumber, ReadsTheUsualWay) {
  EXPECT_EQ(leadingNumber("-12"), -12);
  EXPECT_EQ(leadingNumber("1.5.3"), 1.5);
  EXPECT_EQ(leadingNumber("."), 0);
  EXPECT_EQ(leadingNumber("-"), 0);
  EXPECT_EQ(leadingNumber(""), 0);
  EXPECT_EQ(leadingNumber("--3"), 0);
}

}  // namespace
}  // namespace vna
