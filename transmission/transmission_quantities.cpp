#include "transmission/transmission_quantities.h"

#include <algorithm>
#include <cmath>

#include "platform/numeric.h"

namespace vna {

double modulus(Complex x) { return std::sqrt(x.real() * x.real() + x.imag() * x.imag()); }

double gainDb(Complex x) { return 20 * log10Of(modulus(x)); }

double phaseDegrees(Complex x) { return std::atan2(x.imag(), x.real()) * 180 / kPi; }

Complex normalized(Complex w, Complex r0) {
  const double norm = r0.real() * r0.real() + r0.imag() * r0.imag();
  return {(w.real() * r0.real() + w.imag() * r0.imag()) / norm, (r0.real() * w.imag() - r0.imag() * w.real()) / norm};
}

double groupDelayMicroseconds(Complex now, Complex before, double frequencyNow, double frequencyBefore) {
  const double re = before.real() * now.real() + before.imag() * now.imag();
  const double im = now.imag() * before.real() - before.imag() * now.real();
  const double step = std::atan2(im, re);
  return -step / ((frequencyNow - frequencyBefore) * kPi * 2) * 1000000;
}

double levelDbm(double level) {
  return 20 * level;
}

double groupDelayFromAngles(double degreesNow, double degreesBefore, double frequencyNow, double frequencyBefore) {
  double step = degreesNow - degreesBefore;
  if (step > 180) step -= 360;
  if (step < -180) step += 360;
  return -1000000 * (step / 360) / (frequencyNow - frequencyBefore);
}

// The apertures are powers of two, so that the delay of an aperture lands
// on the point in its middle: up to the largest one within 16 % of the
// range (8 points of 51, 128 of 801), never below 2 nor beyond the range.
int delayApertureLimit(int points) {
  int a = 2;
  while (2.0 * a * 50 <= 8.0 * (points - 1)) a *= 2;
  return std::clamp(points - 1, 1, a);
}

int stepDelayAperture(int aperture, int points, bool forward) {
  const int limit = delayApertureLimit(points);
  const int smallest = std::min(2, limit);
  const int a = std::clamp(aperture, smallest, limit);
  if (forward) return 2 * a > limit ? smallest : 2 * a;
  return a / 2 < smallest ? limit : a / 2;
}

double delayAperturePercent(int aperture, int points) { return aperture * 100.0 / (points - 1); }

TouchstonePoint transmissionDbAngle(double frequency, Complex t) {
  const auto db = static_cast<float>(20 * std::log(modulus(t)) / kLn10);
  // The angle is rounded to single precision in radians, then in degrees.
  const auto radians = static_cast<double>(static_cast<float>(std::atan2(t.imag(), t.real())));
  return {frequency, db, static_cast<float>(radians * 180 / kPi)};
}

}  // namespace vna
