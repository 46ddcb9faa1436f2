#include <gtest/gtest.h>

#include "display/scale_check.h"
#include "reflection/impedance_modes.h"
#include "platform/headless_backend.h"

namespace vna {
namespace {

struct ScaleCheck : ::testing::Test {
  HeadlessBackend backend;
  Screen screen{backend};
  ErrorFlags errors;
  ScaleSet scales = impedanceScales();
  SweepPlan plan;
  // The check as the impedance programs make it, with their mode's message.
  void check(int mode) { checkScales(screen, errors, scales, mode, plan, impedanceModes()[mode].trace2Error); }
  static ScaleSet impedanceScales() {
    ScaleSet s;
    for (int m = 0; m < kImpedanceModes; ++m) s.set(m, impedanceModes()[m].defaultScales);
    return s;
  }
  std::string row31() const { return screen.textAt(31, 103, 23); }
  std::string row32() const { return screen.textAt(32, 103, 23); }
};

TEST_F(ScaleCheck, EqualBoundsPassAndReversedOnesRaiseTheirBox) {
  scales.trace1Max[0] = scales.trace1Min[0] = 5;
  plan.freqMax = plan.freqMin = 1000;
  check(0);
  EXPECT_FALSE(errors.any());
  EXPECT_EQ(row31(), std::string(23, ' '));

  scales.trace1Min[0] = 6;
  check(0);
  EXPECT_TRUE(errors.flag[0]);
  EXPECT_EQ(row31(), "        Error          ");
  EXPECT_EQ(row32(), "  Gain Max < Gain Min  ");
  // The box is 23 cells wide on both rows, its last column included.
  for (int column = 103; column < 103 + 23; ++column) {
    EXPECT_EQ(screen.framebuffer().cell(0, 31, column).bg, 6) << "row 31, column " << column;
    EXPECT_EQ(screen.framebuffer().cell(0, 32, column).bg, 6) << "row 32, column " << column;
  }

  // Several failures: the last rule's message is the one seen.
  scales.trace2Min[0] = 300;
  plan.freqMin = 2000;
  check(0);
  EXPECT_TRUE(errors.flag[0] && errors.flag[1] && errors.flag[2]);
  EXPECT_EQ(row32(), "  Freq Max < Freq Min  ");
}

TEST_F(ScaleCheck, TheTrace2MessageDependsOnTheMode) {
  scales.trace2Min[1] = 200;
  check(1);
  EXPECT_EQ(row32(), " Phase Max < Phase Min ");
  screen.clearPage();
  scales.trace2Min[4] = 300;  // mode 4 writes only the "Error" line
  check(4);
  EXPECT_TRUE(errors.flag[1]);
  EXPECT_EQ(row31(), "        Error          ");
  EXPECT_EQ(row32(), std::string(23, ' '));
}

TEST_F(ScaleCheck, BandEdgesOfACenterSpanEntryAndThePlanSynchronisation) {
  plan.centerSpanEntry = true;
  plan.center = 50;
  plan.span = 100;  // lower edge 0 Hz
  check(0);
  EXPECT_TRUE(errors.flag[4]);
  EXPECT_EQ(row32(), "Center - Span/2 < 20Hz ");
  EXPECT_EQ(plan.freqMin, 0);  // synchronised even with an error flagged
  EXPECT_EQ(plan.freqMax, 100);

  plan.center = 30;
  plan.span = 30;  // lower edge 15 Hz: no error
  check(0);
  EXPECT_FALSE(errors.any());
  EXPECT_EQ(plan.freqMin, 15);
  EXPECT_EQ(plan.freqMax, 45);

  plan.span = 40;  // lower edge exactly 10 Hz: the last one allowed
  check(0);
  EXPECT_FALSE(errors.any());
  EXPECT_EQ(plan.freqMin, 10);
  plan.span = 40.5;  // 9.75 Hz
  check(0);
  EXPECT_TRUE(errors.flag[4]);

  plan.center = 99999990;
  plan.span = 100;
  check(0);
  EXPECT_TRUE(errors.flag[3]);
  EXPECT_EQ(row32(), "Center + Span/2 > 99MHz");

  // Back to min/max entry: the band-edge flags no longer block the start.
  plan.centerSpanEntry = false;
  plan.freqMin = 1000;
  plan.freqMax = 2000;
  check(0);
  EXPECT_FALSE(errors.any());
  EXPECT_EQ(plan.center, 1500);
  EXPECT_EQ(plan.span, 1000);
}

}  // namespace
}  // namespace vna
