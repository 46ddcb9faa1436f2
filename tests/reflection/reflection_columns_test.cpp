#include "reflection/reflection_columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <span>
#include <string>

#include "reflection/impedance_quantities.h"

namespace vna {
namespace {

// Each column against the textbook formula in std::complex, by name, so
// that a column out of its place or in the display's pF or nH shows at once.
TEST(ReflectionColumns, EveryColumnIsItsTextbookValueOnTheGivenReference) {
  constexpr double kProgramPi = 3.1415926;  // the formulas' own pi, in w = 2 pi f
  for (const double r0 : {50.0, 75.0}) {
    for (const Complex z : {Complex(30, 40), Complex(200, -900), Complex(0.5, 3)}) {
      const double f = 2.5e6, w = 2 * kProgramPi * f;
      const Complex s = (z - r0) / (z + r0), y = 1.0 / z;
      const double xp = std::norm(z) / z.imag(), q = std::fabs(z.imag() / z.real());
      const std::pair<const char*, double> expected[] = {
          {"s11_re", s.real()},
          {"s11_im", s.imag()},
          {"s11_db", 20 * std::log10(std::abs(s))},
          {"s11_deg", std::arg(s) * 180 / kProgramPi},
          {"z_ohm", std::abs(z)},
          {"z_deg", std::arg(z) * 180 / kProgramPi},
          {"r_ohm", z.real()},
          {"x_ohm", z.imag()},
          {"g_s", y.real()},
          {"b_s", y.imag()},
          {"ls_h", z.imag() / w},
          {"cs_f", -1 / (w * z.imag())},
          {"rp_ohm", std::norm(z) / z.real()},
          {"xp_ohm", xp},
          {"lp_h", xp / w},
          {"cp_f", -1 / (w * xp)},
          {"q", q},
          {"d", 1 / q},
          {"swr", (1 + std::abs(s)) / (1 - std::abs(s))},
          {"rl_db", -20 * std::log10(std::abs(s))},
      };
      ASSERT_EQ(std::size(expected), kReflectionQuantities.size());
      const ReflectionValues v = reflectionValues(z, f, r0);
      for (const auto& [name, value] : expected) {
        const std::size_t column = reflectionColumn(name);
        ASSERT_LT(column, v.size()) << name;
        EXPECT_NEAR(v[column], value, 1e-12 * std::fabs(value) + 1e-15) << name << " of " << z << " on " << r0;
      }
    }
  }
}

TEST(ReflectionColumns, AnIdealOpenKeepsItsReflectionAndTheScreensKeep50Ohms) {
  const ReflectionValues open = reflectionValues(Complex(INFINITY, NAN), 1e6, 50);
  EXPECT_EQ(open[reflectionColumn("s11_re")], 1);
  EXPECT_EQ(open[reflectionColumn("s11_im")], 0);
  EXPECT_EQ(open[reflectionColumn("rl_db")], 0);
  EXPECT_TRUE(std::isinf(open[reflectionColumn("swr")]));
  // A short on any reference: s11 = -1 exactly.
  EXPECT_EQ(reflectionValues(Complex(0, 0), 1e6, 75)[reflectionColumn("s11_re")], -1);
  // The display modes' s11 is the 50-ohm one, whatever the columns are given.
  const Complex z(20, -35);
  EXPECT_EQ(impedanceQuantities(4, z, 1e6).first, reflectionValues(z, 1e6, 50)[reflectionColumn("s11_db")]);
}

}  // namespace
}  // namespace vna
