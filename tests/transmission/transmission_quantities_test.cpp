#include "transmission/transmission_quantities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "measurement/scan_control.h"
#include "platform/numeric.h"
#include "transmission/transmission_modes.h"

namespace vna {
namespace {

Complex polarDegrees(double modulus, double degrees) { return std::polar(modulus, degrees * kPi / 180); }

TEST(TransmissionQuantities, GainPhaseAndNormalizationOfKnownRatios) {
  EXPECT_NEAR(gainDb({0.1, 0.0}), -20.0, 1e-12);
  EXPECT_NEAR(gainDb({0.0, 2.0}), 20 * std::log10(2.0), 1e-12);
  EXPECT_EQ(gainDb({0.0, 0.0}), -INFINITY);
  EXPECT_NEAR(phaseDegrees(polarDegrees(1, 30)), 30.0, 1e-9);
  // The top of (-180, 180]: atan2's pi over the formulas' truncated one.
  EXPECT_NEAR(phaseDegrees({-1.0, 0.0}), 180.0, 1e-5);
  EXPECT_GT(phaseDegrees({-1.0, 0.0}), 0.0);
  // A ratio equal to its reference reads exactly 0 dB and 0 degrees.
  const Complex through{0.731, -0.412};
  EXPECT_EQ(gainDb(normalized(through, through)), 0.0);
  EXPECT_EQ(phaseDegrees(normalized(through, through)), 0.0);
  const Complex device = polarDegrees(0.5, 40) * through;
  EXPECT_NEAR(modulus(normalized(device, through)), 0.5, 1e-12);
  EXPECT_NEAR(phaseDegrees(normalized(device, through)), 40.0, 1e-6);
}

TEST(TransmissionQuantities, GroupDelayIsTheWrappedPhaseStepOverTheFrequencyStep) {
  // A lossless line of 1 us turns 360 degrees per MHz, lagging.
  const double f0 = 10e6, f1 = 10.1e6;
  const Complex before = polarDegrees(1, -360 * 10.0), now = polarDegrees(1, -360 * 10.1);
  EXPECT_NEAR(groupDelayMicroseconds(now, before, f1, f0), 1.0, 1e-6);
  // From +179 to -179 degrees is a step of +2 degrees, not -358: a negative delay.
  EXPECT_NEAR(groupDelayMicroseconds(polarDegrees(1, -179), polarDegrees(1, 179), 1001e3, 1000e3),
              -2.0 / 360 / 1e3 * 1e6, 1e-4);
  // Equal frequencies give no finite delay, and nothing crashes.
  EXPECT_FALSE(std::isfinite(groupDelayMicroseconds(polarDegrees(1, 10), polarDegrees(1, 0), 1e6, 1e6)));
}

TEST(TransmissionQuantities, TheDelayApertureDoublesAndHalvesRoundAgainAtBothEnds) {
  struct Case {
    int points;
    std::vector<int> forward;  // from 2 on, left clicks
    int afterOne;              // a right click on 2 (halved to 1)
  };
  const Case cases[] = {
      {51, {4, 8, 2}, 8},
      {101, {4, 8, 16, 2}, 16},
      {401, {4, 8, 16, 32, 64, 2}, 64},
      {801, {4, 8, 16, 32, 64, 128, 2}, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.points);
    int a = 2;
    for (int expected : c.forward) EXPECT_EQ(a = stepDelayAperture(a, c.points, true), expected);
    EXPECT_EQ(stepDelayAperture(2, c.points, false), c.afterOne);
    EXPECT_EQ(stepDelayAperture(c.afterOne, c.points, false), c.afterOne / 2);
    EXPECT_EQ(delayApertureLimit(c.points), c.afterOne);
  }
  EXPECT_EQ(delayAperturePercent(2, 401), 0.5);
  EXPECT_EQ(delayAperturePercent(2, 801), 0.25);
  EXPECT_EQ(delayAperturePercent(128, 801), 16.0);
  // Left at 128 by a change from 801 to 51 points, it steps from 51's largest.
  EXPECT_EQ(stepDelayAperture(128, 51, true), 2);
  EXPECT_EQ(stepDelayAperture(128, 51, false), 4);
}

TEST(TransmissionDisplayChoice, CyclesOfEachModeWithAndWithoutAMemory) {
  const auto cycle = [](int mode, bool forward, bool memory) {
    std::vector<int> shown;
    int choice = 0;
    for (int i = 0; i < 6; ++i) {
      choice = shownTransmissionDisplayChoice(stepTransmissionDisplayChoice(choice, forward, mode, memory), mode,
                                              memory);
      shown.push_back(choice);
    }
    return shown;
  };
  // dB mode without memory: dB,deg -> dB -> dB,A,R -> dB,deg.
  EXPECT_EQ(cycle(0, true, false), (std::vector<int>{1, 4, 0, 1, 4, 0}));
  EXPECT_EQ(cycle(0, true, true), (std::vector<int>{1, 2, 3, 4, 0, 1}));
  EXPECT_EQ(cycle(0, false, true), (std::vector<int>{4, 3, 2, 1, 0, 4}));
  EXPECT_EQ(cycle(1, true, true), (std::vector<int>{1, 2, 3, 0, 1, 2}));
  EXPECT_EQ(cycle(2, false, true), (std::vector<int>{3, 2, 1, 0, 3, 2}));
  EXPECT_EQ(cycle(2, true, false), (std::vector<int>{1, 0, 1, 0, 1, 0}));
  // dB,A,R left behind by a change of mode shows as both traces.
  EXPECT_EQ(shownTransmissionDisplayChoice(display_choice::kLevels, 1, true), display_choice::kBoth);
}

TEST(TransmissionFile, SavedValuesAreSinglePrecisionDbAndDegreesAtTheGivenFrequency) {
  const TouchstonePoint p = transmissionDbAngle(1234567.891, polarDegrees(0.5, -60));
  EXPECT_EQ(p.frequencyHz, 1234567.891);
  EXPECT_EQ(p.db, static_cast<float>(p.db));
  EXPECT_NEAR(p.db, -6.0206, 1e-4);
  EXPECT_EQ(p.angleDeg, static_cast<float>(p.angleDeg));
  EXPECT_NEAR(p.angleDeg, -60.0, 1e-4);
}

}  // namespace
}  // namespace vna
