#include "measurement/sweep_plan.h"

#include <array>
#include <cmath>
#include <cstddef>

#include "platform/numeric.h"

namespace vna {

namespace {

constexpr int kFewestPoints = 51, kMostPoints = 801;
constexpr std::array<int, 8> kSampleCodes{6, 13, 27, 55, 111, 223, 447, 895};

// Every frequency entry stays strictly below this (Freq Max steps use .99).
constexpr double kTopFrequency = 99999999.98;

}  // namespace

double pointFrequency(const SweepPlan& plan, int i) {
  const int n = plan.points;
  if (plan.logSweep) return plan.freqMin * std::pow(10.0, log10Of(plan.freqMax / plan.freqMin) * i / (n - 1));
  return plan.freqMin + (plan.freqMax - plan.freqMin) * i / (n - 1);
}

void buildFrequencyList(const SweepPlan& plan, std::span<double> frequency) {
  const int n = plan.points;
  if (n < 2 || frequency.size() < static_cast<std::size_t>(n) + 2) return;
  for (int i = 0; i < n; ++i) frequency[i] = pointFrequency(plan, i);
  frequency[n] = frequency[0];
  frequency[n + 1] = frequency[1];
}

void deriveRange(SweepPlan& plan) {
  if (plan.centerSpanEntry) {
    plan.freqMin = plan.center - plan.span / 2;
    plan.freqMax = plan.center + plan.span / 2;
  } else {
    plan.center = (plan.freqMax + plan.freqMin) / 2;
    plan.span = plan.freqMax - plan.freqMin;
  }
}

// The cycles wrap where doubling or halving leaves them (1601 -> 51,
// 26 -> 801, 1791 -> 6, 2 -> 895). A value off the cycle also lands on the
// wrap value, so a stepped setting never outgrows the per-point arrays.
int stepPoints(int points, Step step) {
  if (step == Step::Next) {
    const std::int64_t next = 2 * static_cast<std::int64_t>(points) - 1;
    return (next > kMostPoints || next < kFewestPoints) ? kFewestPoints : static_cast<int>(next);
  }
  const std::int64_t previous = roundHalfEven((points + 1.0) / 2);
  return (previous < kFewestPoints || previous > kMostPoints) ? kMostPoints
                                                              : static_cast<int>(previous);
}

bool isScanLength(int points) {
  int n = 51;
  do {
    if (n == points) return true;
    n = stepPoints(n, Step::Next);
  } while (n != 51);
  return false;
}

int stepSampleCode(int sampleCode, Step step) {
  const int first = kSampleCodes.front(), last = kSampleCodes.back();
  if (step == Step::Next) {
    const std::int64_t next = 2 * static_cast<std::int64_t>(sampleCode) + 1;
    return (next > last || next < first) ? first : static_cast<int>(next);
  }
  // From 6 this gives rint(2.5) = 2 (ties to even), which wraps to 895.
  const std::int64_t previous = roundHalfEven((sampleCode + 1.0) / 2 - 1);
  return (previous < 5 || previous > last) ? last : static_cast<int>(previous);
}

int markerIndexFor(int points, int offsetPixels) {
  return static_cast<int>(roundHalfEven((points - 1.0) * offsetPixels / 800));
}

void rescaleMarkers(SweepPlan& plan) {
  plan.markerIndex1 = markerIndexFor(plan.points, plan.markerOffset1);
  plan.markerIndex2 = markerIndexFor(plan.points, plan.markerOffset2);
}

int sampleCodeIndex(int sampleCode) {
  for (std::size_t k = 0; k < kSampleCodes.size(); ++k) {
    if (kSampleCodes[k] == sampleCode) return static_cast<int>(k);
  }
  return -1;
}

int msPerMeasurement(int sampleCode) {
  return static_cast<int>(roundHalfEven((40.0 * sampleCode + 40) / 7));
}

std::uint32_t tuningWordFor(double frequencyHz, std::int32_t clockHz) {
  if (clockHz <= 0 || !std::isfinite(frequencyHz)) return 0;
  const std::int64_t word = roundHalfEven(frequencyHz * 4294967296.0 / clockHz);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(word));  // low 32 bits
}

bool acceptFreqMaxStep(const SweepPlan& plan, double v) {
  return v < 99999999.99 && v > 5 && v > plan.freqMin;
}

bool acceptFreqMinStep(const SweepPlan& plan, double v) {
  return v < kTopFrequency && v > 5 && v < plan.freqMax;
}

bool acceptCenterStep(const SweepPlan& plan, double v) {
  return v + plan.span / 2 < kTopFrequency && v - plan.span / 2 > 10;
}

bool acceptSpanStep(const SweepPlan& plan, double v) {
  return plan.center + v / 2 < kTopFrequency && plan.center - v / 2 > 10;
}

bool acceptTypedFrequency(double v) { return v > 9 && v < kTopFrequency; }

}  // namespace vna
