#include "measurement/sweep_plan.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "analyzer/protocol.h"

namespace vna {
namespace {

constexpr int kLargest = std::numeric_limits<int>::max();
constexpr int kSmallest = std::numeric_limits<int>::min();

TEST(FrequencyList, DefaultLogPlanRunsGeometricallyFrom200HzTo60MHz) {
  const SweepPlan plan;
  std::array<double, kMaxPoints> f{};
  buildFrequencyList(plan, f);
  EXPECT_EQ(f[0], 200.0);
  EXPECT_NEAR(f[400], 60e6, 1e-4);
  EXPECT_NEAR(f[200], std::sqrt(200.0 * 60e6), 1e-6);  // geometric mean, about 109545 Hz
  EXPECT_NEAR(f[200], 109545, 0.5);
  for (int i = 1; i < 400; ++i) EXPECT_NEAR(f[i + 1] / f[i], f[1] / f[0], 1e-12) << i;
  // The look-ahead past the last point loads the first points of the next scan.
  EXPECT_EQ(f[401], f[0]);
  EXPECT_EQ(f[402], f[1]);
}

TEST(FrequencyList, LinearPlanHasEqualStepsAndRepeatsTheFirstTwoPoints) {
  SweepPlan plan;
  plan.logSweep = false;
  plan.points = 51;
  std::vector<double> f(53, -1.0);
  buildFrequencyList(plan, f);
  EXPECT_EQ(f[0], 200.0);
  EXPECT_EQ(f[50], 60e6);
  for (int i = 0; i < 50; ++i) EXPECT_NEAR(f[i + 1] - f[i], 1199996.0, 1e-6) << i;
  EXPECT_EQ(f[51], f[0]);
  EXPECT_EQ(f[52], f[1]);
}

TEST(FrequencyList, TooSmallABufferIsLeftAlone) {
  SweepPlan plan;  // 401 points need 403 entries
  std::vector<double> f(402, -1.0);
  buildFrequencyList(plan, f);
  for (double v : f) EXPECT_EQ(v, -1.0);
}

TEST(SweepPlanRange, DerivesCenterSpanOrMinMaxByEntryMode) {
  SweepPlan plan;
  plan.freqMin = 1000;
  plan.freqMax = 5000;
  deriveRange(plan);
  EXPECT_EQ(plan.center, 3000);
  EXPECT_EQ(plan.span, 4000);
  EXPECT_EQ(plan.freqMin, 1000);

  plan.centerSpanEntry = true;
  plan.center = 10e6;
  plan.span = 2e6;
  deriveRange(plan);
  EXPECT_EQ(plan.freqMin, 9e6);
  EXPECT_EQ(plan.freqMax, 11e6);
  EXPECT_EQ(plan.center, 10e6);
}

TEST(SweepPlanSteps, MeasurementsPerScanCycleBothWays) {
  const std::vector<int> cycle{51, 101, 201, 401, 801};
  for (std::size_t i = 0; i < cycle.size(); ++i) {
    EXPECT_EQ(stepPoints(cycle[i], Step::Next), cycle[(i + 1) % cycle.size()]) << cycle[i];
    const int previous = cycle[(i + cycle.size() - 1) % cycle.size()];
    EXPECT_EQ(stepPoints(cycle[i], Step::Previous), previous) << cycle[i];
  }
  // Values off the cycle never leave the room of the per-point arrays.
  for (int odd : {0, -7, 500, 2000, kLargest, kSmallest}) {
    for (Step step : {Step::Next, Step::Previous}) {
      const int n = stepPoints(odd, step);
      EXPECT_GE(n, 51) << odd;
      EXPECT_LE(n + 2, kMaxPoints) << odd;
    }
  }
}

TEST(SweepPlanSteps, SampleCodesCycleBothWaysWithTheirDisplayedTimes) {
  const std::vector<int> codes{6, 13, 27, 55, 111, 223, 447, 895};
  const std::vector<int> ms{40, 80, 160, 320, 640, 1280, 2560, 5120};
  for (std::size_t k = 0; k < codes.size(); ++k) {
    EXPECT_EQ(stepSampleCode(codes[k], Step::Next), codes[(k + 1) % codes.size()]) << codes[k];
    const int previous = codes[(k + codes.size() - 1) % codes.size()];
    EXPECT_EQ(stepSampleCode(codes[k], Step::Previous), previous) << codes[k];
    EXPECT_EQ(msPerMeasurement(codes[k]), ms[k]);
    EXPECT_EQ(sampleCodeIndex(codes[k]), static_cast<int>(k));
  }
  EXPECT_EQ(stepSampleCode(6, Step::Previous), 895);
  EXPECT_EQ(stepSampleCode(895, Step::Next), 6);
  for (int notACode : {0, 5, 7, 896, -6}) EXPECT_EQ(sampleCodeIndex(notACode), -1) << notACode;
  for (int odd : {kLargest, kSmallest, 4000}) {
    for (Step step : {Step::Next, Step::Previous}) {
      const int n = stepSampleCode(odd, step);
      EXPECT_GE(n, 5) << odd;
      EXPECT_LE(n, 895) << odd;
    }
  }
}

TEST(SweepPlanMarkers, KeepTheirScreenPositionWhenThePointCountChanges) {
  SweepPlan plan;
  plan.points = 801;
  rescaleMarkers(plan);
  EXPECT_EQ(plan.markerIndex1, 100);
  EXPECT_EQ(plan.markerIndex2, 200);
  plan.points = 401;
  rescaleMarkers(plan);
  EXPECT_EQ(plan.markerIndex1, 50);
  EXPECT_EQ(plan.markerIndex2, 100);
  plan.points = 51;
  plan.markerOffset1 = 800;
  rescaleMarkers(plan);
  EXPECT_EQ(plan.markerIndex1, 50);
  EXPECT_EQ(plan.markerIndex2, 12);       // 12.5, halves to even
  EXPECT_EQ(markerIndexFor(101, 300), 38);  // 37.5, halves to even
  EXPECT_EQ(markerIndexFor(101, 308), 38);  // 38.5
}

TEST(TuningWord, IsTheNearestStepOfTheClockWithTiesToEven) {
  EXPECT_EQ(tuningWordFor(60e6, 150000000), 1717986918u);
  EXPECT_EQ(offsetWordFor(tuningWordFor(60e6, 150000000)), 1717987634u);
  // With a clock of 2^30 Hz every quarter hertz is one step.
  constexpr std::int32_t clock = 1 << 30;
  EXPECT_EQ(tuningWordFor(0.125, clock), 0u);  // 0.5
  EXPECT_EQ(tuningWordFor(0.375, clock), 2u);  // 1.5
  EXPECT_EQ(tuningWordFor(0.625, clock), 2u);  // 2.5
  EXPECT_EQ(tuningWordFor(0.7, clock), 3u);
  // Only the low 32 bits go to the instrument.
  EXPECT_EQ(tuningWordFor(1.5 * clock, clock), 0x80000000u);
  EXPECT_EQ(tuningWordFor(clock + 0.25, clock), 1u);
  EXPECT_EQ(tuningWordFor(-0.25, clock), 0xFFFFFFFFu);
}

TEST(TuningWord, BadClockOrFrequencyGivesZero) {
  EXPECT_EQ(tuningWordFor(60e6, 0), 0u);
  EXPECT_EQ(tuningWordFor(60e6, -150000000), 0u);
  EXPECT_EQ(tuningWordFor(std::nan(""), 150000000), 0u);
  EXPECT_EQ(tuningWordFor(std::numeric_limits<double>::infinity(), 150000000), 0u);
  EXPECT_EQ(tuningWordFor(-std::numeric_limits<double>::infinity(), 150000000), 0u);
  tuningWordFor(1e300, 1);  // saturates instead of overflowing
}

TEST(WheelAcceptance, FrequencyLimitsHoldAtTheirBoundaries) {
  SweepPlan plan;  // 200 Hz .. 60 MHz
  EXPECT_FALSE(acceptFreqMaxStep(plan, 200));
  EXPECT_TRUE(acceptFreqMaxStep(plan, 200.01));
  EXPECT_TRUE(acceptFreqMaxStep(plan, 99999999.98));
  EXPECT_FALSE(acceptFreqMaxStep(plan, 99999999.99));
  EXPECT_FALSE(acceptFreqMinStep(plan, 60e6));
  EXPECT_TRUE(acceptFreqMinStep(plan, 59999999.99));
  EXPECT_FALSE(acceptFreqMinStep(plan, 5));
  EXPECT_TRUE(acceptFreqMinStep(plan, 5.01));
  plan.freqMin = 1;
  EXPECT_FALSE(acceptFreqMaxStep(plan, 5));
  EXPECT_TRUE(acceptFreqMaxStep(plan, 5.01));
  plan.freqMax = 2e8;
  EXPECT_FALSE(acceptFreqMinStep(plan, 99999999.98));
  EXPECT_TRUE(acceptFreqMinStep(plan, 99999999.97));

  plan.span = 100;  // the range is center -/+ 50
  EXPECT_FALSE(acceptCenterStep(plan, 60));
  EXPECT_TRUE(acceptCenterStep(plan, 60.01));
  EXPECT_TRUE(acceptCenterStep(plan, 99999949.97));
  EXPECT_FALSE(acceptCenterStep(plan, 99999949.99));

  plan.center = 1000;
  EXPECT_TRUE(acceptSpanStep(plan, 1979.9));
  EXPECT_FALSE(acceptSpanStep(plan, 1980));
  plan.center = 99999000;
  EXPECT_TRUE(acceptSpanStep(plan, 1999.9));
  EXPECT_FALSE(acceptSpanStep(plan, 1999.98));

  const double nan = std::nan("");
  EXPECT_FALSE(acceptFreqMaxStep(plan, nan));
  EXPECT_FALSE(acceptFreqMinStep(plan, nan));
  EXPECT_FALSE(acceptCenterStep(plan, nan));
  EXPECT_FALSE(acceptSpanStep(plan, nan));
}

TEST(TypedFrequency, IsAcceptedStrictlyBetween9HzAndTheTop) {
  EXPECT_FALSE(acceptTypedFrequency(9));
  EXPECT_TRUE(acceptTypedFrequency(9.5));
  EXPECT_TRUE(acceptTypedFrequency(99999999.97));
  EXPECT_FALSE(acceptTypedFrequency(99999999.98));
  EXPECT_FALSE(acceptTypedFrequency(-20));
  EXPECT_FALSE(acceptTypedFrequency(std::nan("")));
}

}  // namespace
}  // namespace vna
