#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "platform/numeric.h"
#include "reflection/impedance_quantities.h"

namespace vna {
namespace {

constexpr double kPi = 3.1415926;

TEST(NominalImpedance, InvertsTheBridgeRatio) {
  EXPECT_NEAR(nominalImpedance({0.5, 0}).real(), 100, 1e-12);
  EXPECT_NEAR(nominalImpedance({0.5, 0}).imag(), 0, 1e-12);
  EXPECT_EQ(nominalImpedance({1, 0}), Complex(0, 0));
  // Round trip: m = 100 / (Z + 100) for an inductive and a capacitive Z.
  for (const Complex z : {Complex(30, 40), Complex(5, -700), Complex(1e4, 2)}) {
    const Complex m = 100.0 / (z + 100.0);
    EXPECT_NEAR(nominalImpedance(m).real(), z.real(), 1e-9 * std::abs(z));
    EXPECT_NEAR(nominalImpedance(m).imag(), z.imag(), 1e-9 * std::abs(z));
  }
}

TEST(Quantities, ResistorOf100OhmInEveryMode) {
  const Complex z(100, 0);
  EXPECT_EQ(impedanceQuantities(0, z, 1e6).first, 100);
  EXPECT_EQ(impedanceQuantities(0, z, 1e6).second, 0);
  EXPECT_EQ(impedanceQuantities(10, z, 1e6).first, 100);  // same values, log axis
  EXPECT_NEAR(impedanceQuantities(9, z, 1e6).first, 1.0 / 3, 1e-12);
  EXPECT_NEAR(impedanceQuantities(4, z, 1e6).first, -9.542425, 1e-6);
  EXPECT_EQ(impedanceQuantities(4, z, 1e6).second, 0);
  EXPECT_EQ(impedanceQuantities(7, z, 1e6).second, 100);  // Rp of a pure resistance
}

TEST(Quantities, ShortAndMatchGiveTheLimitsWithoutTrapping) {
  const Quantities shortS11 = impedanceQuantities(9, nominalImpedance({1, 0}), 1e6);
  EXPECT_EQ(shortS11.first, 1);
  // The angle is scaled by 180 / 3.1415926, so a half turn reads 180.000003.
  EXPECT_NEAR(std::fabs(impedanceQuantities(4, Complex(0, 0), 1e6).second), 180.0000031, 1e-7);
  const Quantities match = impedanceQuantities(4, Complex(50, 0), 1e6);
  EXPECT_TRUE(std::isinf(match.first) && match.first < 0);
}

TEST(Quantities, CapacitanceAndInductanceInBothModels) {
  const double f = 1e6, w = f * kPi * 2;
  const Complex c100p(0, -1 / (w * 100e-12));  // about -1591.55 ohm
  EXPECT_NEAR(c100p.imag(), -1591.55, 0.01);
  EXPECT_NEAR(impedanceQuantities(2, c100p, f).first, 100, 1e-9);
  EXPECT_NEAR(impedanceQuantities(5, c100p, f).first, 100, 1e-9);
  EXPECT_TRUE(std::isinf(impedanceQuantities(2, c100p, f).second));
  // 1 uH with 2 ohm in series: Ls = 1000 nH, Q = wL/R.
  const Complex l1u(2, w * 1e-6);
  EXPECT_NEAR(impedanceQuantities(3, l1u, f).first, 1000, 1e-9);
  EXPECT_NEAR(impedanceQuantities(3, l1u, f).second, w * 1e-6 / 2, 1e-12);
  // The parallel model of the same: Rp = (R^2 + X^2)/R, Lp = (R^2 + X^2)/(X w).
  const double z2 = 4 + std::pow(w * 1e-6, 2);
  EXPECT_NEAR(impedanceQuantities(8, l1u, f).second, z2 / 2, 1e-9);
  EXPECT_NEAR(impedanceQuantities(6, l1u, f).first, z2 * 1e9 / (w * 1e-6 * w), 1e-9);
  EXPECT_LT(impedanceQuantities(2, l1u, f).first, 0);  // Cs of an inductive device is negative
}

TEST(Calibration, IdealStandardsGiveBackTheDeviceAndTheReferenceLoad) {
  const Complex zl = referenceLoadImpedance(50, 0, 0, 1e6);
  EXPECT_EQ(zl, Complex(50, 0));
  const Complex open(0, 0), shortStd(1, 0), load = 100.0 / (zl + 100.0);
  for (const Complex z : {Complex(100, 0), Complex(3, -200), Complex(1000, 50)}) {
    const Complex m = 100.0 / (z + 100.0);
    const Complex corrected = correctedImpedance(m, open, shortStd, load, zl);
    EXPECT_NEAR(corrected.real(), z.real(), 1e-9 * std::abs(z));
    EXPECT_NEAR(corrected.imag(), z.imag(), 1e-9 * std::abs(z));
  }
  EXPECT_NEAR(std::abs(correctedImpedance(load, open, shortStd, load, zl) - zl), 0, 1e-12);
  EXPECT_NEAR(std::abs(correctedImpedance(shortStd, open, shortStd, load, zl)), 0, 1e-12);
  // 50 ohm with 10 nH at 50 MHz: 50 + j3.142.
  const Complex l10n = referenceLoadImpedance(50, 10e-9, 0, 50e6);
  EXPECT_NEAR(l10n.real(), 50, 1e-12);
  EXPECT_NEAR(l10n.imag(), 3.142, 5e-4);
  // The capacitance lies across R in series with L: 50 ohm, 10 nH and 5 pF at
  // 50 MHz read 50.18 - j0.80 ohm, and 1 kohm with 5 pF at 1 MHz 999.0 - j31.4.
  for (const auto& [r, l, c, f] : {std::array{50.0, 10e-9, 5e-12, 50e6}, std::array{1000.0, 0.0, 5e-12, 1e6}}) {
    SCOPED_TRACE(r);
    const Complex jw(0, 2 * kPi * f);
    const Complex expected = (r + jw * l) / (1.0 + jw * c * (r + jw * l));
    const Complex z = referenceLoadImpedance(r, l, c, f);
    EXPECT_NEAR(z.real(), expected.real(), 1e-9 * r);
    EXPECT_NEAR(z.imag(), expected.imag(), 1e-9 * r);
  }
}

}  // namespace
}  // namespace vna
