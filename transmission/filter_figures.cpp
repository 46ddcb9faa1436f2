#include "transmission/filter_figures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/numeric.h"
#include "transmission/transmission_quantities.h"

namespace vna {
namespace {

// A zero transmission has no dB; far below every level it still crosses
// them all and interpolates to a finite frequency.
constexpr double kFloorDb = -999.0;

// How evenly spaced the points must be to count as a linear or a
// logarithmic sweep: a file's single-precision frequencies are well inside.
constexpr double kSpacingTolerance = 1e-4;

struct Sweep {
  std::span<const double> f;
  std::span<const std::complex<double>> t;
  std::vector<double> gain;  // dB
  bool logarithmic = false;
  double best = 0;  // the largest gain, dB
  std::size_t size() const { return f.size(); }
};

bool evenly(std::span<const double> x) {
  const double step = x[1] - x[0];
  for (std::size_t i = 2; i < x.size(); ++i)
    if (std::abs(x[i] - x[i - 1] - step) > kSpacingTolerance * std::abs(step)) return false;
  return true;
}

// Logarithmic when the ratios are even and the steps are not.
bool logarithmicSpacing(std::span<const double> f) {
  if (f.size() < 3 || !(f.front() > 0) || evenly(f)) return false;
  std::vector<double> logs(f.size());
  std::transform(f.begin(), f.end(), logs.begin(), [](double x) { return std::log(x); });
  return evenly(logs);
}

bool readable(std::span<const double> f, std::span<const std::complex<double>> t) {
  if (f.size() < 2 || f.size() != t.size()) return false;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (!std::isfinite(f[i]) || !std::isfinite(t[i].real()) || !std::isfinite(t[i].imag())) return false;
    if (i > 0 && !(f[i] > f[i - 1])) return false;
  }
  return true;
}

// The frequency between neighbours a and b where the gain passes `level`.
double crossing(const Sweep& s, std::size_t a, std::size_t b, double level) {
  const double u = (level - s.gain[a]) / (s.gain[b] - s.gain[a]);
  if (s.logarithmic) return std::exp(std::log(s.f[a]) + u * (std::log(s.f[b]) - std::log(s.f[a])));
  return s.f[a] + u * (s.f[b] - s.f[a]);
}

// Which side of a level the walk to an edge starts on: inside the passband
// (the gain falls through it) or inside a notch (the gain rises through it).
enum class Inside { Passband, Notch };

bool isInside(const Sweep& s, std::size_t i, double level, Inside inside) {
  return inside == Inside::Passband ? s.gain[i] >= level : s.gain[i] < level;
}

// From `start` towards lower (step -1) or higher (+1) frequencies to the
// first point beyond `level`; nothing when the sweep ends first.
std::optional<double> edgeFrom(const Sweep& s, std::size_t start, int step, double level, Inside inside) {
  if (!isInside(s, start, level, inside)) return std::nullopt;
  for (std::size_t i = start;;) {
    if ((step < 0 && i == 0) || (step > 0 && i + 1 == s.size())) return std::nullopt;
    const std::size_t next = step < 0 ? i - 1 : i + 1;
    if (!isInside(s, next, level, inside)) return crossing(s, i, next, level);
    i = next;
  }
}

FilterKind kindOf(const Sweep& s) {
  const double level = s.best - 3;
  const bool firstInside = s.gain.front() >= level, lastInside = s.gain.back() >= level;
  const bool allInside = std::all_of(s.gain.begin(), s.gain.end(), [level](double g) { return g >= level; });
  if (allInside) return FilterKind::Line;
  if (firstInside && lastInside) return FilterKind::Bandstop;
  if (firstInside) return FilterKind::Lowpass;
  return lastInside ? FilterKind::Highpass : FilterKind::Bandpass;
}

BandEdges edgesAt(const Sweep& s, FilterKind kind, double downDb) {
  const double level = s.best - downDb;
  const bool notch = kind == FilterKind::Bandstop;
  const auto anchor =
      notch ? std::min_element(s.gain.begin(), s.gain.end()) : std::max_element(s.gain.begin(), s.gain.end());
  const auto start = static_cast<std::size_t>(anchor - s.gain.begin());
  const Inside inside = notch ? Inside::Notch : Inside::Passband;
  return {edgeFrom(s, start, -1, level, inside), edgeFrom(s, start, +1, level, inside)};
}

// The width a shape factor compares: a low-pass's band runs from DC, and a
// high-pass's is taken as its inverse, so that its steeper edge too gives a
// factor above 1.
std::optional<double> widthOf(const BandEdges& e, FilterKind kind) {
  switch (kind) {
    case FilterKind::Lowpass: return e.upper;
    case FilterKind::Highpass:
      if (!e.lower) return std::nullopt;
      return 1.0 / *e.lower;
    case FilterKind::Bandpass:
    case FilterKind::Bandstop:
      if (!e.lower || !e.upper) return std::nullopt;
      return *e.upper - *e.lower;
    case FilterKind::Line: break;
  }
  return std::nullopt;
}

std::optional<double> shapeFactor(const BandEdges& shallow, const BandEdges& deep, FilterKind kind) {
  const auto a = widthOf(shallow, kind), b = widthOf(deep, kind);
  if (!a || !b || *a <= 0 || *b <= 0) return std::nullopt;
  return kind == FilterKind::Bandstop ? *a / *b : *b / *a;
}

// Whether point i lies inside the 3 dB edges (outside, for a notch).
bool inPassband(double f, const BandEdges& e, FilterKind kind) {
  const bool aboveLower = !e.lower || f > *e.lower, belowUpper = !e.upper || f < *e.upper;
  return kind == FilterKind::Bandstop ? !(aboveLower && belowUpper) : aboveLower && belowUpper;
}

std::optional<double> rippleOf(const Sweep& s, const BandEdges& e, FilterKind kind) {
  std::optional<double> low, high;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!inPassband(s.f[i], e, kind)) continue;
    low = std::min(low.value_or(s.gain[i]), s.gain[i]);
    high = std::max(high.value_or(s.gain[i]), s.gain[i]);
  }
  if (!low) return std::nullopt;
  return *high - *low;
}

std::optional<double> delayAt(const Sweep& s, double frequency) {
  for (std::size_t i = 1; i < s.size(); ++i)
    if (s.f[i - 1] <= frequency && frequency <= s.f[i])
      return groupDelayMicroseconds(s.t[i], s.t[i - 1], s.f[i], s.f[i - 1]) * 1e-6;
  return std::nullopt;
}

// The phase with every step between neighbours taken within half a turn,
// as the group delay takes it; radians.
std::vector<double> unwrappedPhase(const Sweep& s) {
  std::vector<double> phase(s.size(), std::arg(s.t[0]));
  for (std::size_t i = 1; i < s.size(); ++i) phase[i] = phase[i - 1] + std::arg(s.t[i] * std::conj(s.t[i - 1]));
  return phase;
}

void lineFigures(const Sweep& s, FilterFigures& out) {
  const std::vector<double> phase = unwrappedPhase(s);
  const double n = static_cast<double>(s.size());
  double meanF = 0, meanPhase = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    meanF += s.f[i] / n;
    meanPhase += phase[i] / n;
  }
  double covariance = 0, variance = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    covariance += (s.f[i] - meanF) * (phase[i] - meanPhase);
    variance += (s.f[i] - meanF) * (s.f[i] - meanF);
  }
  const double slope = covariance / variance;  // radians per hertz; the frequencies differ
  double deviation = 0;
  for (std::size_t i = 0; i < s.size(); ++i)
    deviation = std::max(deviation, std::abs(phase[i] - meanPhase - slope * (s.f[i] - meanF)));
  out.lineDelaySeconds = -slope / (2 * kPi);
  out.phaseDeviationDegrees = deviation * 180 / kPi;
}

}  // namespace

std::optional<FilterFigures> filterFigures(std::span<const double> frequencies,
                                           std::span<const std::complex<double>> transmission) {
  if (!readable(frequencies, transmission)) return std::nullopt;
  Sweep s{frequencies, transmission, {}, logarithmicSpacing(frequencies), 0};
  for (const auto& t : transmission) s.gain.push_back(std::max(gainDb(t), kFloorDb));
  s.best = *std::max_element(s.gain.begin(), s.gain.end());
  if (s.best <= kFloorDb) return std::nullopt;  // no signal anywhere: nothing to read

  FilterFigures out;
  out.kind = kindOf(s);
  out.insertionLossDb = -s.best;
  if (out.kind == FilterKind::Line) {
    out.rippleDb = rippleOf(s, {}, out.kind);
    lineFigures(s, out);
    return out;
  }
  out.edges3Db = edgesAt(s, out.kind, 3);
  out.edges6Db = edgesAt(s, out.kind, 6);
  out.edges20Db = edgesAt(s, out.kind, 20);
  out.edges60Db = edgesAt(s, out.kind, 60);
  const BandEdges& e = out.edges3Db;
  if (e.lower && e.upper) {
    out.centreHz = std::sqrt(*e.lower * *e.upper);
    out.bandwidthHz = *e.upper - *e.lower;
    if (out.kind == FilterKind::Bandpass) out.loadedQ = *out.centreHz / *out.bandwidthHz;
    out.delayAtCentreSeconds = delayAt(s, *out.centreHz);
  }
  out.rippleDb = rippleOf(s, e, out.kind);
  out.shapeFactor60To6 = shapeFactor(out.edges6Db, out.edges60Db, out.kind);
  out.shapeFactor20To3 = shapeFactor(out.edges3Db, out.edges20Db, out.kind);
  return out;
}

}  // namespace vna
