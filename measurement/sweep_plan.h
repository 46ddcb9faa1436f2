// Which frequencies one scan visits and how long each point is measured.
#pragma once

#include <cstdint>
#include <span>

namespace vna {

inline constexpr int kMaxPoints = 804;  // room in every per-point array

struct SweepPlan {
  double freqMin = 200, freqMax = 60000000, center = 30000100, span = 59999800;
  bool centerSpanEntry = false;  // range last entered as center/span
  bool logSweep = true;
  // Points at the frequencies the spacing gives; a viewer's file of a
  // segmented sweep has its points at their own frequencies instead.
  bool evenSpacing = true;
  std::int32_t points = 401;
  std::int32_t sampleCode = 6;
  std::int32_t markerOffset1 = 100, markerOffset2 = 200;
  std::int32_t markerIndex1 = 50, markerIndex2 = 100;
};

enum class Step { Next, Previous };  // left press / right press (wheel up / down)

// The frequency of point i (0..N-1, N >= 2): log or linear spacing from freqMin to freqMax.
double pointFrequency(const SweepPlan& plan, int i);

// Fills entries 0..N+1; entries N and N+1 repeat 0 and 1 so that the
// look-ahead loading past the last point continues into the next scan.
// Writes nothing when N < 2 or frequency.size() < N+2.
void buildFrequencyList(const SweepPlan& plan, std::span<double> frequency);

// Center/span from min/max, or the reverse when the range was last entered as center/span.
void deriveRange(SweepPlan& plan);

// Measurements per scan: 51, 101, 201, 401, 801 and round again.
int stepPoints(int points, Step step);
// One of the point counts the instrument scans.
bool isScanLength(int points);
// Sample codes 6, 13, 27, 55, 111, 223, 447, 895 and round again.
int stepSampleCode(int sampleCode, Step step);

// The marker keeps its screen position: rint((N-1)*offset/800), halves to even.
int markerIndexFor(int points, int offsetPixels);
void rescaleMarkers(SweepPlan& plan);

int sampleCodeIndex(int sampleCode);     // k 0..7 for 6, 13, ..., 895; -1 otherwise
int msPerMeasurement(int sampleCode);    // (40n+40)/7 as shown after "ms/meas:"

// Low 32 bits of the nearest integer (ties to even) to f*2^32/clockHz; 0 for a
// clock <= 0 or a non-finite frequency.
std::uint32_t tuningWordFor(double frequencyHz, std::int32_t clockHz);

// Whether a scroll-wheel step may give the item the candidate value v.
bool acceptFreqMaxStep(const SweepPlan& plan, double v);
bool acceptFreqMinStep(const SweepPlan& plan, double v);
bool acceptCenterStep(const SweepPlan& plan, double v);
bool acceptSpanStep(const SweepPlan& plan, double v);
// A typed frequency (after its unit suffix); the other bound is checked by validation.
bool acceptTypedFrequency(double v);

}  // namespace vna
