#include "analyzer/sample_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "platform/numeric.h"

namespace vna {
namespace {

// Samples as the instrument delivers them: a 24-bit integer sinusoid with a
// period of 7 samples, delayed by the given number of samples, in bits 31..8.
std::vector<std::int32_t> sinusoid(int sampleCode, double amplitude, double phase, int delay = 0) {
  std::vector<std::int32_t> samples;
  for (int j = 0; j <= sampleCode; ++j) {
    const double v = amplitude * std::cos(2 * kPi * (j - delay) / 7 + phase);
    samples.push_back(static_cast<std::int32_t>(roundHalfEven(v)) * 256);
  }
  return samples;
}

// The level the formula gives for a sinusoid of this 24-bit amplitude,
// including the detector's compression correction.
double expectedLevel(double amplitude24) {
  const double amp = amplitude24 * 256 / 2 * 1.613 / 4294967296.0 * 7;
  return log10Of(amp * 34.0333 / (34.0333 - 0.0216 * amp * amp));
}

TEST(SampleConversion, IdenticalChannelsGiveUnityRatioAndEqualLevels) {
  for (int code : {6, 55, 895}) {
    const auto r = sinusoid(code, 4000000, 0.3);
    const ConvertedPoint p = convertSamples(r, r, code, 1.0, 0.0);
    EXPECT_EQ(p.ratio, std::complex<double>(1.0, 0.0)) << code;
    EXPECT_EQ(p.levelA, p.levelR) << code;
    // The level does not depend on how many samples were taken.
    EXPECT_NEAR(p.levelR, expectedLevel(4000000), 1e-6) << code;
  }
  const auto small = sinusoid(13, 1000, 1.0);
  EXPECT_NEAR(convertSamples(small, small, 13, 1.0, 0.0).levelR, expectedLevel(1000), 1e-4);
}

TEST(SampleConversion, OneSampleOfDelayIsOneSeventhOfATurn) {
  const int code = 27;
  const auto r = sinusoid(code, 3000000, 0.7);
  const auto a = sinusoid(code, 3000000, 0.7, 1);
  const ConvertedPoint p = convertSamples(r, a, code, 1.0, 0.0);
  EXPECT_NEAR(std::abs(p.ratio), 1.0, 1e-6);
  EXPECT_NEAR(std::arg(p.ratio), 2 * kPi / 7, 1e-5);  // about +51.4 degrees
  EXPECT_NEAR(p.levelA, p.levelR, 1e-6);
}

TEST(SampleConversion, ArPhaseTurnsAndArGainScalesTheAChannel) {
  const int code = 55;
  const auto r = sinusoid(code, 2000000, 0.2);
  const auto a = sinusoid(code, 1500000, -0.4);
  const ConvertedPoint plain = convertSamples(r, a, code, 1.0, 0.0);

  const ConvertedPoint turned = convertSamples(r, a, code, 1.0, 90.0);
  const std::complex<double> minus90 = plain.ratio * std::complex<double>(0, -1);
  EXPECT_NEAR(turned.ratio.real(), minus90.real(), 1e-6);
  EXPECT_NEAR(turned.ratio.imag(), minus90.imag(), 1e-6);
  EXPECT_NEAR(turned.levelA, plain.levelA, 1e-12);

  const ConvertedPoint halved = convertSamples(r, a, code, 2.0, 0.0);
  EXPECT_NEAR(halved.ratio.real(), plain.ratio.real() / 2, 1e-12);
  EXPECT_NEAR(halved.ratio.imag(), plain.ratio.imag() / 2, 1e-12);
  EXPECT_NEAR(halved.levelA, plain.levelA - log10Of(2.0), 1e-12);
  EXPECT_EQ(halved.levelR, plain.levelR);
}

TEST(SampleConversion, ElectricalLengthTurnsByTheCableDelay) {
  const std::complex<double> unit(1, 0);
  const std::complex<double> turned = rotateByElectricalLength(unit, 1.0, 10e6);
  EXPECT_NEAR(std::arg(turned), 0.2096, 1e-4);  // 12.01 degrees
  EXPECT_NEAR(std::abs(turned), 1.0, 1e-12);
  EXPECT_NEAR(std::arg(rotateByElectricalLength(unit, -1.0, 10e6)), -0.2096, 1e-4);

  const std::complex<double> ratio(0.3, -0.8);
  EXPECT_EQ(rotateByElectricalLength(ratio, 0.0, 10e6), ratio);
  const std::complex<double> r2 = rotateByElectricalLength(ratio, 2.0, 5e6);  // same angle
  EXPECT_NEAR(std::arg(r2) - std::arg(ratio), std::arg(turned), 1e-12);
}

TEST(SampleConversion, SilentReferenceGivesNonFiniteValuesWithoutCrashing) {
  const int code = 6;
  const std::vector<std::int32_t> silent(7, 0);
  const auto a = sinusoid(code, 1000000, 0);
  const ConvertedPoint p = convertSamples(silent, a, code, 1.0, 0.0);
  EXPECT_FALSE(std::isfinite(p.ratio.real()));
  EXPECT_FALSE(std::isfinite(p.ratio.imag()));
  EXPECT_FALSE(std::isfinite(p.levelR));
  EXPECT_TRUE(std::isfinite(p.levelA));

  // Fewer samples than the code promises: only those present are summed.
  const auto r = sinusoid(13, 1000000, 0.5);
  const auto first7 = std::span(r).first(7);
  const ConvertedPoint shortSpans = convertSamples(first7, first7, 13, 1.0, 0.0);
  EXPECT_EQ(shortSpans.ratio, std::complex<double>(1.0, 0.0));
}

// The reference of a real reply passes with an offset, noise and a weak
// harmonic; random replies of every length, as the line's noise brings them,
// almost never do.
TEST(SampleConversion, ReferenceOfRandomBytesIsNoSine) {
  for (const int code : {6, 13, 27}) {
    std::vector<std::int32_t> r = sinusoid(code, 3.0e6, 0.4);
    std::uint32_t seed = 7;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (std::size_t j = 0; j < r.size(); ++j) {
      const double harmonic = 3.0e4 * std::cos(4 * kPi * static_cast<double>(j) / 7);
      r[j] += static_cast<std::int32_t>(2.0e5 + harmonic + static_cast<double>(next() % 2001) - 1000) * 256;
    }
    EXPECT_TRUE(referenceIsSine(r, code)) << code;
    int passed = 0;
    for (int trial = 0; trial < 200; ++trial) {
      for (auto& sample : r) sample = static_cast<std::int32_t>(next() & 0xFFFFFF00u);
      passed += referenceIsSine(r, code);
    }
    EXPECT_LE(passed, code == 6 ? 8 : 0) << code;
  }
  EXPECT_TRUE(referenceIsSine(std::vector<std::int32_t>(7, 0), 6));
}

}  // namespace
}  // namespace vna
