// The mean of repeated readings, its uncertainty, and the uncertainty of
// values computed from such means.
#include "measurement/uncertainty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace vna {
namespace {

TEST(Uncertainty, MeanOfReadingsFarFromZeroKeepsTheirSmallSpread) {
  // Readings of 1e6 spread by 1e-3: a sum of squares would lose the spread.
  ComplexMean mean;
  for (const double d : {-1.0, 1.0, -1.0, 1.0}) mean.add({1e6 + d * 1e-3, -2e6 - d * 2e-3});
  const UncertainComplex m = mean.result();
  EXPECT_DOUBLE_EQ(m.value.real(), 1e6);
  // Sample deviation sqrt(4e-6 / 3), of the mean divided by sqrt(4).
  EXPECT_NEAR(m.uRe, std::sqrt(4e-6 / 3) / 2, 1e-9);
  EXPECT_NEAR(m.uIm, 2 * std::sqrt(4e-6 / 3) / 2, 1e-9);
  ComplexMean one;
  one.add({3, 4});
  EXPECT_EQ(one.result().uRe, 0);
}

TEST(Uncertainty, PropagatedUncertaintyMatchesTheSpreadOfTheComputedValues) {
  // |x|, arg x in degrees and 1/x of noisy readings near the phase wrap:
  // the propagated u must match the spread of the value computed from each
  // of many independent means, and the angle must not see the wrap.
  const Complex truth{-2.0, 1e-4};
  const double noise = 0.01;
  const auto evaluate = [](std::span<const Complex> x, std::span<double> v) {
    v[0] = std::abs(x[0]);
    v[1] = std::arg(x[0]) * 180 / 3.1415926;  // the programs' degrees
    v[2] = (1.0 / x[0]).real();
  };
  const bool degrees[] = {false, true, false};
  std::mt19937_64 engine(7);
  std::normal_distribution<double> gaussian(0, noise);
  double spread[3] = {}, reported[3] = {};
  const int trials = 2000, readings = 16;
  for (int t = 0; t < trials; ++t) {
    ComplexMean mean;
    for (int k = 0; k < readings; ++k) mean.add(truth + Complex(gaussian(engine), gaussian(engine)));
    const UncertainComplex m = mean.result();
    const Propagated p = propagate(std::span(&m, 1), 3, degrees, evaluate);
    double exact[3];
    evaluate(std::span(&truth, 1), exact);
    for (int i = 0; i < 3; ++i) {
      const double error =
          i == 1 ? std::remainder(p.value[i] - exact[i], 360 * M_PI / 3.1415926) : p.value[i] - exact[i];
      spread[i] += error * error / trials;
      reported[i] += p.u[i] * p.u[i] / trials;
    }
  }
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(std::sqrt(reported[i] / spread[i]), 1.0, 0.05) << "value " << i;
}

}  // namespace
}  // namespace vna
