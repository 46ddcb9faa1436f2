// The axes of the report's plots: their range and where their ticks go, at
// round numbers, with labels in SI prefixes ("1 k", "10 M", "100 n",
// "9.995 M"). Pure functions over plain values.
#pragma once

#include <string>
#include <vector>

namespace vna {

enum class AxisScale { Linear, Logarithmic };

// Exact: the axis spans the data and nothing more (a sweep fills its
// plot). Rounded: it is widened to round numbers (a curve keeps a margin).
enum class AxisFit { Exact, Rounded };

struct Tick {
  double value = 0;
  std::string label;  // empty on a minor tick, which has a grid line only
};

struct Axis {
  double low = 0, high = 1;
  AxisScale scale = AxisScale::Linear;
  std::vector<Tick> ticks;
};

// An axis over [minValue, maxValue] (on a logarithmic scale both must be
// positive; a range that is a single value is widened around it). About
// five to eight labelled ticks.
Axis makeAxis(double minValue, double maxValue, AxisScale scale, AxisFit fit);

// The axis of a phase in degrees: labelled -90 to 90 by 30 when the values
// stay within a few degrees of there (any passive impedance), otherwise
// -180 to 180 by 90.
Axis phaseAxis(double minDegrees, double maxDegrees);

// Where `value` lies along the axis: 0 at its low end, 1 at its high end
// (beyond them outside; NaN for a value the scale cannot place).
double axisFraction(const Axis& axis, double value);

// `value` with an SI prefix and as many decimals as `step` (the distance to
// the next tick) needs, trailing zeros dropped: (9.995e6, 5e3) -> "9.995 M",
// (1e-7, 1e-7) -> "100 n", (0, 10) -> "0".
std::string siLabel(double value, double step);

// True when the frequencies grow by a constant ratio rather than a constant
// step (a logarithmic sweep).
bool isLogarithmicSweep(const std::vector<double>& frequencyHz);

}  // namespace vna
