// The sweep plan the display uses for a scan read from a file.
#include <algorithm>
#include <cmath>

#include "files/touchstone_reader.h"

namespace vna {
namespace {

// Point 200 tells a log sweep from a linear one well when it lies inside the
// scan; in a scan of 201 points or fewer it is the last point (where both
// predictions give the last frequency) or missing, and the middle point
// serves instead.
int spacingTestIndex(int points) { return points - 1 > 200 ? 200 : points / 2; }

bool spacedLogarithmically(const TouchstoneScan& scan, const SweepPlan& plan) {
  if (!(plan.freqMin > 0)) return false;  // a range from 0 Hz has no log axis
  const int t = spacingTestIndex(scan.points());
  SweepPlan linear = plan, logarithmic = plan;
  linear.logSweep = false;
  logarithmic.logSweep = true;
  const double read = scan.frequency[static_cast<std::size_t>(t)];
  return !(std::fabs(pointFrequency(linear, t) - read) < std::fabs(pointFrequency(logarithmic, t) - read));
}

}  // namespace

void planForScan(const TouchstoneScan& scan, SweepPlan& plan, std::span<double> frequency) {
  const int n = scan.points();
  if (n < 2) return;
  plan.points = n;
  plan.freqMin = scan.frequency.front();
  plan.freqMax = scan.frequency.back();
  plan.centerSpanEntry = false;  // the range came as its two ends
  deriveRange(plan);
  plan.logSweep = spacedLogarithmically(scan, plan);
  rescaleMarkers(plan);
  // The analyzers write their frequencies to 16 digits, other tools to 6 or
  // more: a millionth keeps both even and finds a segmented sweep at once.
  constexpr double kLargestDeviation = 1e-6;
  const std::size_t shown = std::min(static_cast<std::size_t>(n), frequency.size());
  plan.evenSpacing = true;
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
    const double rebuilt = pointFrequency(plan, static_cast<int>(i));
    if (i < shown) frequency[i] = rebuilt;
    if (std::fabs(scan.frequency[i] - rebuilt) > kLargestDeviation * rebuilt) plan.evenSpacing = false;
  }
  if (!plan.evenSpacing) std::copy_n(scan.frequency.begin(), shown, frequency.begin());
}

}  // namespace vna
