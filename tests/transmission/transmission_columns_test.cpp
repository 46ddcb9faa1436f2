#include "transmission/transmission_columns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vna {
namespace {

TEST(TransmissionColumns, DelayOverTheApertureAroundThePointAndLevelsInDbm) {
  // A 2 us delay line: the phase falls by 0.72 degrees per kHz.
  std::vector<double> f;
  std::vector<Complex> t;
  for (int i = 0; i < 9; ++i) {
    f.push_back(1e6 + 1e3 * i * i);  // uneven steps: the aperture's own frequencies count
    t.push_back(std::polar(0.25, -2 * 3.1415926 * f.back() * 2e-6));
  }
  for (const int a : {2, 4}) {
    for (int i = 0; i < 9; ++i) {
      const auto aperture = apertureAt(t, f, i, a);
      ASSERT_EQ(aperture.has_value(), i >= a / 2 && i + a / 2 < 9) << i << " of aperture " << a;
      if (!aperture) continue;
      EXPECT_EQ(aperture->beforeHz, f[static_cast<std::size_t>(i - a / 2)]);
      EXPECT_EQ(aperture->afterHz, f[static_cast<std::size_t>(i + a / 2)]);
    }
  }
  const TransmissionValues v = transmissionValues(t[4], apertureAt(t, f, 4), InputLevels{-2.5, -1});
  const auto at = [&](std::string_view name) {
    for (std::size_t i = 0; i < kTransmissionQuantities.size(); ++i)
      if (kTransmissionQuantities[i].name == name) return v[i];
    ADD_FAILURE() << name;
    return 0.0;
  };
  EXPECT_NEAR(at("delay_s"), 2e-6, 1e-12);
  EXPECT_NEAR(at("gain_db"), -12.0412, 1e-4);
  EXPECT_NEAR(at("gain"), 0.25, 1e-15);
  EXPECT_NEAR(std::hypot(at("s21_re"), at("s21_im")), 0.25, 1e-15);
  EXPECT_EQ(at("level_a_dbm"), -50);
  EXPECT_EQ(at("level_r_dbm"), -20);
  const TransmissionValues fromFile = transmissionValues(t[0], std::nullopt, std::nullopt);
  EXPECT_TRUE(std::isnan(fromFile[5]) && std::isnan(fromFile[6]) && std::isnan(fromFile[7]));
}

}  // namespace
}  // namespace vna
