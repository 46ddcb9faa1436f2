#include "files/network_parameters.h"

#include <cmath>

#include "platform/numeric.h"

namespace vna {

Complex complexOf(PairFormat format, double first, double second) {
  switch (format) {
    case PairFormat::DbAngle: return std::polar(std::pow(10.0, first / 20), kPi * second / 180);
    case PairFormat::MagnitudeAngle: return std::polar(1.0, kPi * second / 180) * first;
    case PairFormat::RealImaginary: return {first, second};
  }
  return {};
}

// The viewers rebuild s with the programs' own pi, so the angle is written
// in degrees of that pi.
DbAngle dbAngleOf(Complex s) {
  // 10 log10 |s|^2 spares the careful hypot() of every point; where the
  // square leaves the double range, |s| itself serves.
  const double norm = std::norm(s);
  const double db = norm > 0 && std::isfinite(norm) ? 10 * log10Of(norm) : 20 * log10Of(std::abs(s));
  return {db, std::atan2(s.imag(), s.real()) * 180 / kPi};
}

Complex oneportS(NetworkParameter parameter, Complex value, double reference) {
  switch (parameter) {
    case NetworkParameter::S: return value;
    case NetworkParameter::Z: return (value - reference) / (value + reference);
    case NetworkParameter::Y: return (1.0 - reference * value) / (1.0 + reference * value);
  }
  return value;
}

namespace {

Matrix2 product(const Matrix2& a, const Matrix2& b) {
  return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2], a[2] * b[1] + a[3] * b[3]};
}

Matrix2 inverse(const Matrix2& m) {
  const Complex det = m[0] * m[3] - m[1] * m[2];
  return {m[3] / det, -m[1] / det, -m[2] / det, m[0] / det};
}

}  // namespace

// With R the diagonal of the references:
//   S = R^-1/2 (Z - R)(Z + R)^-1 R^1/2,   S = R^-1/2 (1 - RY)(1 + RY)^-1 R^1/2.
Matrix2 twoPortS(NetworkParameter parameter, const Matrix2& v, double r1, double r2) {
  if (parameter == NetworkParameter::S) return v;
  Matrix2 numerator, denominator;
  if (parameter == NetworkParameter::Z) {
    numerator = {v[0] - r1, v[1], v[2], v[3] - r2};
    denominator = {v[0] + r1, v[1], v[2], v[3] + r2};
  } else {
    numerator = {1.0 - r1 * v[0], -r1 * v[1], -r2 * v[2], 1.0 - r2 * v[3]};
    denominator = {1.0 + r1 * v[0], r1 * v[1], r2 * v[2], 1.0 + r2 * v[3]};
  }
  Matrix2 s = product(numerator, inverse(denominator));
  const double k = std::sqrt(r2 / r1);  // S_ij scaled by sqrt(r_j / r_i)
  s[1] *= k;
  s[2] /= k;
  return s;
}

}  // namespace vna
