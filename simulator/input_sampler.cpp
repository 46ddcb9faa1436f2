#include "simulator/input_sampler.h"

#include <cmath>

#include "platform/numeric.h"

namespace vna {
namespace {

constexpr double kLevelConstant = 34.0333;
constexpr double kCompressionConstant = 0.0216;

// A/R at time t: the new ratio, with what is left of the old one dying away.
std::complex<double> settledRatio(const AcquisitionSetup& s, double t) {
  const double since = t - s.strobeTime;
  if (since >= 30.0 * kSettlingTimeConstant) return s.ratio;
  return s.ratio + (s.ratioBefore - s.ratio) * std::exp(-since / kSettlingTimeConstant);
}

double channelCounts(std::complex<double> phasor, double theta, const AcquisitionSetup& s) {
  const double amplitude = s.compression ? compressedAmplitude(std::abs(phasor)) : std::abs(phasor);
  return amplitude * kCountsPerLevelUnit * std::cos(theta - std::arg(phasor));
}

}  // namespace

double compressedAmplitude(double a) {
  // Root of 0.0216 a m^2 + 34.0333 m - 34.0333 a = 0, written so that it
  // stays exact for small a.
  const double k = kLevelConstant;
  return 2.0 * k * a / (k + std::sqrt(k * k + 4.0 * kCompressionConstant * k * a * a));
}

std::vector<SamplePair> takeSamples(const AcquisitionSetup& s, NoiseSource& noise) {
  std::vector<SamplePair> samples;
  samples.reserve(static_cast<std::size_t>(std::max(s.samples, 0)));
  const double reference = s.generatorsRunning ? s.referenceAmplitude : 0.0;
  for (int j = 0; j < s.samples; ++j) {
    const double t = s.firstSampleTime + j * s.samplePeriod;
    const double theta = std::fmod(2.0 * kPi * s.beatHz * t, 2.0 * kPi);
    const std::complex<double> r{reference, 0.0};
    const std::complex<double> a = r * settledRatio(s, t);
    SamplePair pair;
    pair.r = sampleWord(channelCounts(r, theta, s) + s.noiseCounts * noise.gaussian());
    pair.a = sampleWord(channelCounts(a, theta, s) + s.noiseCounts * noise.gaussian());
    samples.push_back(pair);
  }
  return samples;
}

}  // namespace vna
