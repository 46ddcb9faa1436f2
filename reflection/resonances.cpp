#include "reflection/resonances.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace vna {

namespace {

// +1 where the reactance stands clearly above the noise, -1 clearly below,
// 0 inside the noise band.
int reactanceSign(Complex z) {
  const double band = kReactanceNoiseFraction * std::abs(z);
  return z.imag() > band ? 1 : z.imag() < -band ? -1 : 0;
}

// A run of at least kSettledPoints consecutive points of one sign.
struct SettledRun {
  int sign;
  std::size_t first, last;
};

std::vector<SettledRun> settledRuns(std::span<const Complex> z) {
  std::vector<SettledRun> runs;
  std::size_t start = 0;
  for (std::size_t i = 1; i <= z.size(); ++i) {
    if (i < z.size() && reactanceSign(z[i]) == reactanceSign(z[start])) continue;
    const int sign = reactanceSign(z[start]);
    if (sign != 0 && i - start >= static_cast<std::size_t>(kSettledPoints)) runs.push_back({sign, start, i - 1});
    start = i;
  }
  return runs;
}

// Least-squares straight line y = a + b (x - centre).
struct Line {
  double centre, a, b;
  double at(double x) const { return a + b * (x - centre); }
};

template <typename Value>
Line straightLine(std::span<const double> x, std::size_t first, std::size_t last, Value value) {
  const double centre = 0.5 * (x[first] + x[last]);
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  const auto count = static_cast<double>(last - first + 1);
  for (std::size_t i = first; i <= last; ++i) {
    const double dx = x[i] - centre, y = value(i);
    sx += dx, sy += y, sxx += dx * dx, sxy += dx * y;
  }
  const double b = (count * sxy - sx * sy) / (count * sxx - sx * sx);
  return {centre, (sy - b * sx) / count, b};
}

// The immittance whose imaginary part rises through zero at the resonance:
// Z = R + jX at a series one, Y = G + jB at a parallel one.
Complex immittance(Resonance::Kind kind, Complex z) {
  return kind == Resonance::Kind::Series ? z : 1.0 / z;
}

// The crossing between two settled runs of opposite sign, located on the
// straight lines through the points from the last of one run to the first
// of the next (two points in a coarse sweep, the whole noise band in a dense
// one, where the line averages the noise out).
Resonance crossing(std::span<const double> f, std::span<const Complex> z, const SettledRun& before,
                   const SettledRun& after) {
  Resonance r;
  r.kind = before.sign < 0 ? Resonance::Kind::Series : Resonance::Kind::Parallel;
  const auto w = [&](std::size_t i) { return immittance(r.kind, z[i]); };
  const Line imag = straightLine(f, before.last, after.first, [&](std::size_t i) { return w(i).imag(); });
  const Line real = straightLine(f, before.last, after.first, [&](std::size_t i) { return w(i).real(); });
  r.frequencyHz = std::clamp(imag.centre - imag.a / imag.b, f[before.last], f[after.first]);
  const double resistive = real.at(r.frequencyHz);
  r.q = r.frequencyHz * imag.b / (2 * resistive);
  r.impedanceOhms = r.kind == Resonance::Kind::Series ? std::fabs(resistive) : 1 / std::fabs(resistive);
  return r;
}

// Where |w|^2 first reaches twice its value at the resonance, walking from
// the crossing toward `limit` (one step of `step` = +1 or -1 at a time);
// linear interpolation of |w|^2 between the last point below and the first
// at or above. Nothing if the walk reaches the limit first.
std::optional<double> halfPowerEdge(std::span<const double> f, std::span<const Complex> z, Resonance::Kind kind,
                                    double f0, double level0, std::size_t from, std::size_t limit, int step,
                                    std::size_t& inside) {
  double fPrev = f0, gPrev = -level0;  // g = |w|^2 - 2 level0, negative inside
  for (std::size_t i = from;; i += static_cast<std::size_t>(step)) {
    const double g = std::norm(immittance(kind, z[i])) - 2 * level0;
    if (g >= 0) return fPrev + (f[i] - fPrev) * (-gPrev) / (g - gPrev);
    ++inside;
    fPrev = f[i], gPrev = g;
    if (i == limit) return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> sweepProblem(std::span<const double> frequencyHz, std::span<const Complex> z) {
  if (frequencyHz.size() != z.size()) return "the sweep has a different number of frequencies and impedances";
  if (z.size() < 5) return "the sweep has fewer than 5 points";
  for (std::size_t i = 0; i < z.size(); ++i) {
    const std::string point = "point " + std::to_string(i + 1);
    if (!std::isfinite(frequencyHz[i]) || frequencyHz[i] <= 0) return "the frequency of " + point + " is not positive";
    if (i > 0 && !(frequencyHz[i] > frequencyHz[i - 1]))
      return "the frequency of " + point + " is not above the one before";
    if (!std::isfinite(z[i].real()) || !std::isfinite(z[i].imag()))
      return "the impedance of " + point + " is not finite";
    if (z[i] == Complex(0, 0)) return "the impedance of " + point + " is zero";
  }
  return std::nullopt;
}

std::vector<Resonance> findResonances(std::span<const double> frequencyHz, std::span<const Complex> z) {
  std::vector<Resonance> found;
  if (sweepProblem(frequencyHz, z)) return found;
  const std::vector<SettledRun> runs = settledRuns(z);
  for (std::size_t k = 1; k < runs.size(); ++k)
    if (runs[k].sign != runs[k - 1].sign) found.push_back(crossing(frequencyHz, z, runs[k - 1], runs[k]));
  // The 3 dB edges are searched no farther than the neighbouring crossings.
  std::size_t resonance = 0;
  for (std::size_t k = 1; k < runs.size(); ++k) {
    if (runs[k].sign == runs[k - 1].sign) continue;
    Resonance& r = found[resonance++];
    const std::size_t low = k >= 2 ? runs[k - 1].first : 0;
    const std::size_t high = k + 1 < runs.size() ? runs[k].last : z.size() - 1;
    const double level0 = std::pow(r.kind == Resonance::Kind::Series ? r.impedanceOhms : 1 / r.impedanceOhms, 2);
    std::size_t inside = 0;
    const std::size_t below = runs[k - 1].last, above = runs[k].first;
    // The points of the noise band lie on both sides of f0: start each walk
    // at the first point on its side.
    std::size_t left = below, right = above;
    while (left + 1 < above && frequencyHz[left + 1] < r.frequencyHz) ++left;
    while (right > left + 1 && frequencyHz[right - 1] >= r.frequencyHz) --right;
    const auto lo = halfPowerEdge(frequencyHz, z, r.kind, r.frequencyHz, level0, left, low, -1, inside);
    const auto hi = halfPowerEdge(frequencyHz, z, r.kind, r.frequencyHz, level0, right, high, +1, inside);
    if (lo && hi && inside >= 3 && *hi > *lo) r.q3dB = r.frequencyHz / (*hi - *lo);
  }
  return found;
}

}  // namespace vna
