#include "transmission/filter_figures.h"

#include <gtest/gtest.h>

#include <complex>
#include <span>
#include <vector>

#include "simulator/filter_responses.h"

namespace vna {
namespace {

// The simulator builds no high-pass nor notch; its Butterworth low-pass
// turned inside out (s -> 1/s, of the frequency and of the band-pass
// variable) gives both, 3 dB down where the transformation puts them.
TEST(FilterFigures, AHighPassAndANotchAreToldApart) {
  std::vector<double> f;
  std::vector<std::complex<double>> highpass, notch;
  for (int i = 0; i < 400; ++i) {
    f.push_back(2.5e6 + 50e3 * i + 12.5e3);  // never on the notch's centre
    highpass.push_back(butterworthLowpass(-25e12 / f.back(), 5e6, 3));
    const double x = (f.back() * f.back() - 10e6 * 10e6) / (f.back() * 1e6);
    notch.push_back(butterworthLowpass(-1.0 / x, 1.0, 2));
  }
  const auto high = filterFigures(f, highpass), stop = filterFigures(f, notch);
  ASSERT_TRUE(high && stop);
  EXPECT_EQ(high->kind, FilterKind::Highpass);
  EXPECT_NEAR(high->edges3Db.lower.value_or(0), 5e6, 0.005 * 5e6);
  EXPECT_EQ(stop->kind, FilterKind::Bandstop);
  EXPECT_NEAR(stop->centreHz.value_or(0), 10e6, 0.005 * 10e6);
  EXPECT_NEAR(stop->bandwidthHz.value_or(0), 1e6, 0.02 * 1e6);
  EXPECT_NEAR(stop->shapeFactor20To3.value_or(0), 3.158, 0.05);  // the 3 dB notch over the 20 dB one
  // A sweep that cannot be read gives no figures at all.
  std::vector<double> backwards(f.rbegin(), f.rend());
  EXPECT_FALSE(filterFigures(backwards, highpass));
  EXPECT_FALSE(filterFigures(std::span(f).first(10), highpass));
}

}  // namespace
}  // namespace vna
