#include "simulator/measurement_path.h"

#include <cmath>

#include "platform/numeric.h"

namespace vna {
namespace {

using Complex = std::complex<double>;

// Frequencies relative to the top of the instrument's range.
double relative(double frequencyHz) {
  return frequencyHz / 100.0e6;
}

// Phase of a few centimetres of cable and board track at this frequency.
double delayPhase(double frequencyHz, double seconds) {
  return -2.0 * kPi * frequencyHz * seconds;
}

}  // namespace

BridgeErrors bridgeErrorsAt(double f) {
  const double x = relative(f);
  BridgeErrors e;
  // Directivity: about -38 dB at low frequencies, -29 dB at 100 MHz.
  e.directivity = std::polar(0.012 + 0.024 * x, 0.4 + delayPhase(f, 0.9e-9));
  // Tracking: 1.5 % high at low frequencies, falling and lagging at the top.
  e.tracking = std::polar(1.015 - 0.035 * x * x, delayPhase(f, 0.15e-9));
  // Source match: -34 dB rising to -26 dB, its phase turning with the
  // round trip through the test port cable.
  e.sourceMatch = std::polar(0.02 + 0.03 * x, -0.7 + delayPhase(f, 2.0 * 0.6e-9));
  return e;
}

Complex applyBridge(const BridgeErrors& e, Complex g) {
  return e.directivity + e.tracking * g / (1.0 - e.sourceMatch * g);
}

Complex transmissionTrackingAt(double f) {
  const double x = relative(f);
  return std::polar(0.99 - 0.03 * x * x, delayPhase(f, 0.5e-9));
}

Complex crosstalkAt(double f) {
  // -85 dB at low frequencies, about -69 dB at 100 MHz.
  const double x = relative(f);
  return std::polar(std::pow(10.0, -85.0 / 20.0) * (1.0 + 5.0 * x), 1.0 + delayPhase(f, -2.0e-9));
}

Complex pathRatioAt(const Device& device, double f, PathErrors errors) {
  const Complex ideal = responseAt(device, f);
  if (errors == PathErrors::None) return ideal;
  if (isOnePort(device.kind)) return applyBridge(bridgeErrorsAt(f), ideal);
  return transmissionTrackingAt(f) * ideal + crosstalkAt(f);
}

}  // namespace vna
