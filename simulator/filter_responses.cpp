#include "simulator/filter_responses.h"

#include <algorithm>

#include "platform/numeric.h"

namespace vna {
namespace {

// H(s) = prod(-p_k / (s - p_k)) over the left-half-plane poles of the
// normalized Butterworth polynomial; the product of the -p_k is 1.
std::complex<double> normalizedLowpass(std::complex<double> s, int order) {
  const int n = std::clamp(order, 1, 20);
  std::complex<double> h{1.0, 0.0};
  for (int k = 1; k <= n; ++k) {
    const double angle = kPi * (2.0 * k + n - 1.0) / (2.0 * n);
    const std::complex<double> pole = std::polar(1.0, angle);
    h *= -pole / (s - pole);
  }
  return h;
}

}  // namespace

std::complex<double> butterworthLowpass(double frequencyHz, double cutoffHz, int order) {
  if (!(cutoffHz > 0.0)) return {0.0, 0.0};
  return normalizedLowpass({0.0, frequencyHz / cutoffHz}, order);
}

std::complex<double> butterworthBandpass(double frequencyHz, double centreHz, double bandwidthHz, int order) {
  if (!(frequencyHz > 0.0) || !(bandwidthHz > 0.0)) return {0.0, 0.0};
  // s_lp = (s^2 + w0^2) / (s B) on the imaginary axis: j (f^2 - f0^2) / (f B).
  const double x = (frequencyHz * frequencyHz - centreHz * centreHz) / (frequencyHz * bandwidthHz);
  return normalizedLowpass({0.0, x}, order);
}

std::complex<double> rcLowpass(double frequencyHz, double ohms, double farads) {
  const double wrc = 2.0 * kPi * frequencyHz * ohms * farads;
  return 1.0 / std::complex<double>(1.0, wrc);
}

}  // namespace vna
