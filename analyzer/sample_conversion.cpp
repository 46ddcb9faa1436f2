#include "analyzer/sample_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "platform/numeric.h"

namespace vna {

namespace {

constexpr double kLevelScale = 1.613;
constexpr double kFullScale = 4294967296.0;
// The detector compresses at high levels; these undo it.
constexpr double kCompressionBase = 34.0333, kCompressionSlope = 0.0216;
constexpr double kSpeedOfLight = 299792458;

// Amplitude of a correlated channel relative to full scale.
double amplitude(double c, double s, int sampleCode) {
  return std::sqrt(s * s + c * c) * kLevelScale / kFullScale * 7 / (sampleCode + 1.0);
}

double compressionFactor(double amp) {
  return kCompressionBase / (kCompressionBase - kCompressionSlope * (amp * amp));
}

}  // namespace

ConvertedPoint convertSamples(std::span<const std::int32_t> sampleR,
                              std::span<const std::int32_t> sampleA, int sampleCode,
                              double arGain, double arPhaseDegrees) {
  // 1. Correlation: the signal has a period of exactly 7 samples.
  double sa = 0, ca = 0, sr = 0, cr = 0;
  const std::size_t count = sampleCode < 0 ? 0
                                           : std::min({static_cast<std::size_t>(sampleCode) + 1,
                                                       sampleR.size(), sampleA.size()});
  for (std::size_t j = 0; j < count; ++j) {
    const double theta = kPi * static_cast<double>(j) * 2 / 7;
    const double sinT = std::sin(theta), cosT = std::cos(theta);
    sa += sinT * sampleA[j];
    ca += cosT * sampleA[j];
    sr += sinT * sampleR[j];
    cr += cosT * sampleR[j];
  }

  // 2.-3. Level correction, from the uncorrected amplitudes.
  const double kA = compressionFactor(amplitude(ca, sa, sampleCode));
  const double kR = compressionFactor(amplitude(cr, sr, sampleCode));
  sa *= kA;
  ca *= kA;
  sr *= kR;
  cr *= kR;

  // 4. A/R gain.
  ca /= arGain;
  sa /= arGain;

  // 5. A/R phase: the A vector turns by psi = -phi.
  const double psi = -(arPhaseDegrees / 360) * kPi * 2;
  const double caP = std::cos(psi) * ca - std::sin(psi) * sa;
  const double saP = ca * std::sin(psi) + sa * std::cos(psi);

  // 6. The ratio by its explicit formula (not std::complex's division, which
  // scales differently and would not give the same bits), then the levels.
  const double d = cr * cr + sr * sr;
  ConvertedPoint point;
  point.ratio = {(cr * caP + sr * saP) / d, (cr * saP - sr * caP) / d};
  point.levelA = log10Of(amplitude(caP, saP, sampleCode));
  point.levelR = log10Of(amplitude(cr, sr, sampleCode));
  return point;
}

bool referenceIsSine(std::span<const std::int32_t> sampleR, int sampleCode) {
  const std::size_t count =
      sampleCode < 0 ? 0 : std::min(static_cast<std::size_t>(sampleCode) + 1, sampleR.size());
  if (count < 7) return true;
  double mean = 0;
  for (std::size_t j = 0; j < count; ++j) mean += sampleR[j];
  mean /= static_cast<double>(count);
  double energy = 0, c = 0, s = 0;
  for (std::size_t j = 0; j < count; ++j) {
    const double x = sampleR[j] - mean;
    const double theta = kPi * static_cast<double>(j) * 2 / 7;
    energy += x * x;
    c += std::cos(theta) * x;
    s += std::sin(theta) * x;
  }
  if (energy == 0) return true;
  // A whole number of periods: the period's share of the energy.
  return 2 * (c * c + s * s) / static_cast<double>(count) >= 0.9 * energy;
}

std::complex<double> rotateByElectricalLength(std::complex<double> ratio, double cableLengthMetres,
                                              double frequencyHz) {
  if (cableLengthMetres == 0) return ratio;
  const double theta = cableLengthMetres * kPi * frequencyHz * 2 / kSpeedOfLight;
  const double re = ratio.real(), im = ratio.imag();
  return {std::cos(theta) * re - std::sin(theta) * im, re * std::sin(theta) + im * std::cos(theta)};
}

}  // namespace vna
