// The instrument's own imperfections between the device and its inputs:
// the reflection bridge's error terms (directivity, tracking, source match)
// and the transmission path's tracking and crosstalk. They are small (a few
// percent, growing with frequency) but large enough that measuring without
// calibration or normalization visibly differs from measuring with it.
#pragma once

#include <complex>

#include "simulator/device_models.h"

namespace vna {

enum class PathErrors { Realistic, None };

struct BridgeErrors {
  std::complex<double> directivity;  // e00: what the bridge leaks with nothing on it
  std::complex<double> tracking;     // e01: gain and phase of the reflected path
  std::complex<double> sourceMatch;  // e11: how much of the reflection comes back
};

BridgeErrors bridgeErrorsAt(double frequencyHz);

// m = e00 + e01 g / (1 - e11 g), g the nominal bridge ratio.
std::complex<double> applyBridge(const BridgeErrors& errors, std::complex<double> nominalRatio);

// Transmission path: the through connection's gain and phase, and what
// reaches input A with nothing connected.
std::complex<double> transmissionTrackingAt(double frequencyHz);
std::complex<double> crosstalkAt(double frequencyHz);

// A/R at the instrument's inputs for this device, before the inputs' own
// gain and phase asymmetry.
std::complex<double> pathRatioAt(const Device& device, double frequencyHz, PathErrors errors);

}  // namespace vna
