// Raw samples of one point into the complex ratio A/R and the two input levels.
#pragma once

#include <complex>
#include <cstdint>
#include <span>

namespace vna {

struct ConvertedPoint {
  std::complex<double> ratio;     // rawRatio of the point
  // Base-10 log of the amplitudes (A after the gain and phase correction).
  double levelA = 0, levelR = 0;
};

// Correlates the n+1 samples of both channels (n = sampleCode) with one period
// every 7 samples, corrects the detector's level dependence, divides A by the
// A/R gain, turns it by -arPhaseDegrees and forms A/R and the levels.
// Only the samples present in both spans are summed.
// A reference channel whose sums are zero (all samples zero) gives a
// non-finite ratio and levelR = -infinity; that is left as it is, the caller
// decides how to show such a point.
ConvertedPoint convertSamples(std::span<const std::int32_t> sampleR,
                              std::span<const std::int32_t> sampleA, int sampleCode,
                              double arGain, double arPhaseDegrees);

// True when the reference channel's samples are the sine the instrument
// sends, one period every 7 samples, and not bytes that were no reply (the
// line's noise, bytes shifted by stray ones before the reply): at least 90 %
// of their energy about their mean lies in that period. The reference input
// is driven at a fixed level whatever is connected, so its harmonics and
// noise stay far below that; random samples pass one time in a hundred.
// Samples that are all equal carry nothing to judge and pass.
bool referenceIsSine(std::span<const std::int32_t> sampleR, int sampleCode);

// Compensates a cable of the given electrical length: turns the ratio by
// theta = length*pi*f*2/c. A length of 0 returns the ratio unchanged.
std::complex<double> rotateByElectricalLength(std::complex<double> ratio, double cableLengthMetres,
                                              double frequencyHz);

}  // namespace vna
