// The instrument's two inputs and its converter. Each input mixes its signal
// with the second generator, 716 tuning steps (about 25.006 Hz) above the
// first, and the converter samples the 25 Hz result seven times per period.
// The mixer output carries the conjugate phase of the signal (the second
// generator is the higher one): a device that delays A makes A's samples
// lead R's. The program's correlation, summing x (cos + j sin), conjugates
// once more, so it reads the device's own A/R.
#pragma once

#include <complex>
#include <vector>

#include "simulator/noise_source.h"
#include "simulator/sample_frames.h"

namespace vna {

// Converter counts (24-bit) of a sine of amplitude 1 in the program's level
// units, i.e. 0 dBm: the program reads |sum| * 1.613 / 2^32 * 7 / (n+1) as
// the level, and a sine of amplitude a words sums to (n+1) * a / 2. Full
// scale (2^23 counts) is then about +9 dBm.
inline constexpr double kCountsPerLevelUnit = 16777216.0 / (3.5 * 1.613);

// The detector's compression: the amplitude it reports for a true amplitude,
// such that the program's correction 34.0333 / (34.0333 - 0.0216 a^2) gives
// the true amplitude back.
double compressedAmplitude(double trueAmplitude);

struct AcquisitionSetup {
  int samples = 7;                   // n + 1
  double firstSampleTime = 0.0;      // seconds
  double samplePeriod = 0.0;         // seconds
  double beatHz = 0.0;               // the mixers' output frequency
  double referenceAmplitude = 1.0;   // R, level units (1 = 0 dBm)
  std::complex<double> ratio;        // A/R with the new frequency settled
  std::complex<double> ratioBefore;  // A/R at the frequency before the strobe
  double strobeTime = -1e300;        // when the generators last changed
  bool generatorsRunning = true;     // false: nothing but noise
  bool compression = true;
  double noiseCounts = 0.0;  // rms per sample
};

// How fast the generators and the input filters settle after a strobe.
inline constexpr double kSettlingTimeConstant = 0.004;

std::vector<SamplePair> takeSamples(const AcquisitionSetup& setup, NoiseSource& noise);

}  // namespace vna
