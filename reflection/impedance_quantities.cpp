#include "reflection/impedance_quantities.h"

#include <cmath>

#include "platform/numeric.h"

namespace vna {

Complex impedanceFromReflection(double db, double degrees, double reference) {
  const double magnitude = std::pow(10.0, db / 20);
  const double theta = kPi * degrees / 180;
  const double re = magnitude * std::cos(theta), im = magnitude * std::sin(theta);
  double den = 1 - 2 * re + re * re + im * im;
  if (den == 0) den = 1e-46;
  return {reference * (1 - re * re - im * im) / den, 2 * reference * im / den};
}
namespace {

constexpr double kDegrees = 180.0 / kPi;

double omega(double frequencyHz) { return frequencyHz * kPi * 2; }

// The complex quotient written out, as the correction formula is given.
Complex divide(Complex n, Complex m) {
  const double d = std::norm(m);
  return {(m.real() * n.real() + m.imag() * n.imag()) / d, (m.real() * n.imag() - m.imag() * n.real()) / d};
}

}  // namespace

Complex nominalImpedance(Complex m) {
  const double m2 = std::norm(m);
  return {100 * (m.real() - m2) / m2, -100 * m.imag() / m2};
}

Complex referenceLoadImpedance(double r, double l, double c, double frequencyHz) {
  const double w = omega(frequencyHz);
  const double d = std::pow(1 - w * w * l * c, 2) + std::pow(w * c * r, 2);
  return {r / d, (w * l - r * r * c * w - w * w * w * l * l * c) / d};
}

Complex correctedImpedance(Complex m, Complex o, Complex s, Complex l, Complex zl) {
  return zl * divide((o - l) * (s - m), (l - s) * (m - o));
}

Reflection reflectionOf(Complex z, double reference) {
  const double r = z.real(), x = z.imag(), z2 = r * r + x * x;
  const double numRe = z2 - reference * reference, numIm = 2 * reference * x;
  const double den = (r + reference) * (r + reference) + x * x;
  return {numRe / den, numIm / den, std::sqrt(numRe * numRe + numIm * numIm) / den};
}

Complex admittanceOf(Complex z) {
  const double z2 = z.real() * z.real() + z.imag() * z.imag();
  return {z.real() / z2, -z.imag() / z2};
}

double parallelReactance(Complex z) {
  return (z.real() * z.real() + z.imag() * z.imag()) / z.imag();
}

double dissipationFactor(double q) {
  return 1 / q;
}

double standingWaveRatio(double s) {
  return (1 + s) / (1 - s);
}

double returnLossDb(double s11Db) {
  return -s11Db;
}

Quantities impedanceQuantities(int mode, Complex z, double frequencyHz, double reference) {
  const double r = z.real(), x = z.imag();
  const double w = omega(frequencyHz);
  const double z2 = r * r + x * x;
  const double q = std::fabs(x / r);
  const double cp = -x * 1e12 / (z2 * w);
  const double lp = z2 * 1e9 / (x * w);
  const Reflection s = reflectionOf(z, reference);
  const double s11 = s.modulus;
  const double s11Angle = std::atan2(s.im, s.re) * kDegrees;
  switch (static_cast<ImpedanceMode>(mode)) {
    case ImpedanceMode::RealImaginary: return {r, x};
    case ImpedanceMode::SeriesCQ: return {-1e12 / (w * x), q};
    case ImpedanceMode::SeriesLQ: return {x * 1e9 / w, q};
    case ImpedanceMode::S11Db: return {20 * log10Of(s11), s11Angle};
    case ImpedanceMode::ParallelCQ: return {cp, q};
    case ImpedanceMode::ParallelLQ: return {lp, q};
    case ImpedanceMode::ParallelCR: return {cp, z2 / r};
    case ImpedanceMode::ParallelLR: return {lp, z2 / r};
    case ImpedanceMode::S11Linear: return {s11, s11Angle};
    default: return {std::sqrt(z2), std::atan2(x, r) * kDegrees};  // |z| on either scale
  }
}

TouchstonePoint reflectionDbAngle(double frequency, Complex z) {
  const Quantities s11 = impedanceQuantities(static_cast<int>(ImpedanceMode::S11Db), z, frequency);
  return {frequency, static_cast<float>(s11.first), static_cast<float>(s11.second)};
}

}  // namespace vna
