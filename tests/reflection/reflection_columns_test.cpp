#include "reflection/reflection_columns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <array>
#include <complex>
#include <span>
#include <string>

#include "measurement/uncertainty.h"
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

// The columns as the averaging measurement passes them to propagate(): an
// impedance with its uncertainty, the angles marked by the table.
TEST(ReflectionColumns, UncertaintiesPropagateThroughTheColumnsAndAnglesAcrossTheirWrap) {
  std::array<bool, kReflectionQuantities.size()> degrees{};
  for (std::size_t i = 0; i < degrees.size(); ++i) degrees[i] = kReflectionQuantities[i].degrees;
  const auto evaluate = [](std::span<const Complex> z, std::span<double> values) {
    const ReflectionValues v = reflectionValues(z[0], 1e6, 50);
    std::copy(v.begin(), v.end(), values.begin());
  };
  // A negative resistance on the wrap of its angle: arg(Z) jumps between
  // +180 and -180 degrees as X moves by its uncertainty.
  const std::array<UncertainComplex, 1> z{{{Complex(-10, 0), 0.1, 0.1}}};
  const Propagated p = propagate(z, degrees.size(), degrees, evaluate);
  EXPECT_NEAR(p.u[reflectionColumn("r_ohm")], 0.1, 1e-9);
  EXPECT_NEAR(p.u[reflectionColumn("x_ohm")], 0.1, 1e-9);
  // Not 360 degrees; within 0.003 degrees of the derivative, as a turn in
  // the program's degrees (180/3.1415926 per radian) is 360.0000118, not the
  // 360 the wrap takes away.
  EXPECT_NEAR(p.u[reflectionColumn("z_deg")], 0.1 / 10 * 180 / 3.1415926, 0.005);
}

}  // namespace
}  // namespace vna
