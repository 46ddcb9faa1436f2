// Transfer functions of the filters the simulator offers as devices: what a
// lossless LC ladder between matched terminations passes (a Butterworth
// response) and a plain RC low-pass.
#pragma once

#include <complex>

namespace vna {

// Butterworth low-pass of the given order, 1 at DC and 1/sqrt(2) at the
// cut-off. Orders below 1 are taken as 1.
std::complex<double> butterworthLowpass(double frequencyHz, double cutoffHz, int order);

// The low-pass mapped to a band-pass around `centreHz` with a -3 dB width of
// `bandwidthHz` (the usual LC low-pass to band-pass transformation).
std::complex<double> butterworthBandpass(double frequencyHz, double centreHz, double bandwidthHz, int order);

// Series R, shunt C, unloaded: 1 / (1 + j w R C).
std::complex<double> rcLowpass(double frequencyHz, double ohms, double farads);

}  // namespace vna
