// Where a measured part resonates: every series resonance (the reactance
// crosses zero going up, |Z| at a minimum) and every parallel resonance (the
// reactance crosses zero going down, |Z| at a maximum) of an impedance sweep,
// located between the points, with the part's Q there. Pure functions.
#pragma once

#include <complex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vna {

using Complex = std::complex<double>;

struct Resonance {
  enum class Kind { Series, Parallel };
  Kind kind = Kind::Series;
  double frequencyHz = 0;
  // From the slope at the crossing: series (f/2R) dX/df, parallel (f/2G) dB/df.
  double q = 0;
  // |Z| at the resonance: R there for a series one, 1/G for a parallel one.
  double impedanceOhms = 0;
  // f over the width between the points where |Z| (series) or |Y| (parallel)
  // is 3 dB off its value at the resonance; none when the sweep does not
  // hold both edges, or fewer than three points between them.
  std::optional<double> q3dB;
};

// Why a sweep cannot be analysed (counts differ, too few points, frequencies
// not positive and strictly ascending, an impedance that is zero or not
// finite), in the words a user reads; nothing when it can.
std::optional<std::string> sweepProblem(std::span<const double> frequencyHz, std::span<const Complex> z);

// The noise rule: a point's reactance counts as positive or negative only
// beyond this fraction of its |Z| (a resistor's X wandering around zero never
// does), and a side of a crossing counts only when this many consecutive
// points show the same sign.
inline constexpr double kReactanceNoiseFraction = 0.03;
inline constexpr int kSettledPoints = 3;

// Every resonance of the sweep in ascending frequency; none for a sweep that
// sweepProblem() refuses.
std::vector<Resonance> findResonances(std::span<const double> frequencyHz, std::span<const Complex> z);

}  // namespace vna
