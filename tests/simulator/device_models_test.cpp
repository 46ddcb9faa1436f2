#include "simulator/device_models.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/numeric.h"
#include "reflection/impedance_quantities.h"
#include "simulator/filter_responses.h"
#include "simulator/measurement_path.h"

namespace vna {
namespace {

using Complex = std::complex<double>;

TEST(DeviceModels, TheReferenceLoadIsTheOneTheCalibrationAssumes) {
  for (double f : {1e3, 1e6, 30e6, 99e6}) {
    for (auto [r, l, c] : {std::tuple{50.0, 0.0, 0.0}, {50.0, 10e-9, 0.0}, {49.9, 3e-9, 2e-12}, {1000.0, 0.0, 5e-12}}) {
      const Complex z = impedanceAt(Device::referenceLoad(r, l, c), f);
      const Complex expected = referenceLoadImpedance(r, l, c, f);  // the impedance analyzer's own
      EXPECT_NEAR(std::abs(z - expected), 0.0, 1e-9 * std::abs(expected)) << r << " " << l << " " << c << " " << f;
    }
  }
  const Complex z = impedanceAt(Device::referenceLoad(50.0, 10e-9, 0.0), 50e6);
  EXPECT_NEAR(z.real(), 50.0, 1e-12);
  EXPECT_NEAR(z.imag(), 3.142, 5e-4);
}

TEST(DeviceModels, OnePortsReadThroughTheBridgesNominalRatio) {
  EXPECT_EQ(responseAt(Device::open(), 1e6), Complex(0.0, 0.0));
  EXPECT_EQ(responseAt(Device::shortCircuit(), 1e6), Complex(1.0, 0.0));
  EXPECT_EQ(responseAt(Device::resistor(100.0), 1e6), Complex(0.5, 0.0));
  EXPECT_NEAR(std::abs(responseAt(Device::resistor(50.0), 1e6) - 2.0 / 3.0), 0.0, 1e-15);
  // Series and parallel resonances at 1 / (2 pi sqrt(LC)) look like R.
  const double f0 = 1.0 / (2.0 * kPi * std::sqrt(1e-6 * 100e-12));
  EXPECT_NEAR(std::abs(impedanceAt(Device::seriesRlc(10.0, 1e-6, 100e-12), f0) - 10.0), 0.0, 1e-6);
  EXPECT_NEAR(std::abs(impedanceAt(Device::parallelRlc(5e3, 1e-6, 100e-12), f0) - 5e3), 0.0, 1e-3);
  // Zero values leave elements out: a series RL, a parallel RC.
  EXPECT_EQ(impedanceAt(Device::seriesRlc(10.0, 1e-6, 0.0), 1e6), Complex(10.0, 2.0 * kPi * 1e6 * 1e-6));
  EXPECT_NEAR(
      std::abs(impedanceAt(Device::parallelRlc(0.0, 0.0, 1e-9), 1e6) - impedanceAt(Device::capacitor(1e-9), 1e6)), 0.0,
      1e-9);
}

// Real parts resonate where their parasitics say: a capacitor of 1 uF with
// 20 nH is its 50 mohm ESR at 1.125 MHz and a coil above it; a coil of 10 uH
// with 5 pF is a tank of L / (CP RS) at 22.5 MHz; a quartz crystal is R1 at
// its series resonance, a million ohms at its parallel one 0.5 % higher, and
// C0 with C1 below both.
TEST(DeviceModels, RealPartsAndACrystalResonateWhereTheirValuesSay) {
  const auto resonance = [](double l, double c) { return 1.0 / (2.0 * kPi * std::sqrt(l * c)); };
  const Device capacitor = Device::capacitor(1e-6, 0.05, 20e-9);
  EXPECT_NEAR(std::abs(impedanceAt(capacitor, resonance(20e-9, 1e-6)) - 0.05), 0.0, 1e-9);
  EXPECT_GT(impedanceAt(capacitor, 10e6).imag(), 1.0);  // inductive above
  const Device coil = Device::inductor(10e-6, 2.0, 5e-12);
  EXPECT_NEAR(impedanceAt(coil, resonance(10e-6, 5e-12)).real(), 10e-6 / (5e-12 * 2.0), 1e3);
  EXPECT_NEAR(std::abs(impedanceAt(coil, 1e3) - Complex(2.0, 2 * kPi * 1e3 * 10e-6)), 0.0, 1e-6);
  const Device quartz = Device::crystal(10.0, 10e-3, 25e-15, 5e-12);
  const double fs = resonance(10e-3, 25e-15), fp = fs * std::sqrt(1.0 + 25e-15 / 5e-12);
  EXPECT_NEAR(std::abs(impedanceAt(quartz, fs) - 10.0), 0.0, 0.05);
  EXPECT_GT(impedanceAt(quartz, fp).real(), 1e5);
  const double w = 2 * kPi * 1e6;
  EXPECT_NEAR(std::abs(impedanceAt(quartz, 1e6) / Complex(0.0, -1.0 / (w * 5.025e-12)) - 1.0), 0.0, 1e-3);
}

TEST(DeviceModels, EveryDeviceAnswersFinitelyEvenAtZeroHertzAndWithZeroValues) {
  const std::vector<Device> devices{Device::resistor(0.0),
                                    Device::capacitor(0.0),
                                    Device::inductor(0.0),
                                    Device::seriesRlc(0, 0, 1e-9),
                                    Device::parallelRlc(0, 1e-6, 0),
                                    Device::parallelRlc(0, 0, 0),
                                    Device::open(),
                                    Device::shortCircuit(),
                                    Device::referenceLoad(0.0, 1e-6, 1e-9),
                                    Device::capacitor(1e-9, 0.0, 1e-6),  // lossless: 0 at resonance
                                    Device::inductor(1e-6, 0.0, 1e-9),   // lossless: open at resonance
                                    Device::crystal(0.0, 1e-6, 1e-9, 1e-9),
                                    Device::crystal(0.0, 0.0, 0.0, 0.0),
                                    Device::through(),
                                    Device::attenuator(200.0),
                                    Device::lowpassRc(0.0, 0.0),
                                    Device::lowpassLc(0.0, 3),
                                    Device::bandpassLc(10e6, 0.0, 2),
                                    Device::delayLine(0.0),
                                    Device::amplifier(-30.0),
                                    Device::isolation()};
  for (const Device& d : devices) {
    for (double f : {0.0, 1.0, 1e6, 1.0 / (2.0 * kPi * std::sqrt(1e-6 * 1e-9)), 100e6}) {
      const Complex r = responseAt(d, f);
      EXPECT_TRUE(std::isfinite(r.real()) && std::isfinite(r.imag())) << static_cast<int>(d.kind) << " at " << f;
      const Complex m = pathRatioAt(d, f, PathErrors::Realistic);
      EXPECT_TRUE(std::isfinite(m.real()) && std::isfinite(m.imag())) << static_cast<int>(d.kind) << " at " << f;
    }
  }
  EXPECT_EQ(responseAt(Device::parallelRlc(0, 1e-6, 0), 0.0), Complex(1.0, 0.0));  // an inductor shorts DC
  EXPECT_EQ(responseAt(Device::capacitor(1e-9), 0.0), Complex(0.0, 0.0));          // a capacitor is open
}

// The pole angles use the formulas' truncated pi, which moves them by 1e-8.
TEST(DeviceModels, FiltersHaveTheirTextbookResponses) {
  for (int n = 1; n <= 7; ++n) {
    EXPECT_NEAR(std::abs(butterworthLowpass(10e6, 10e6, n)), std::sqrt(0.5), 1e-6) << n;
    EXPECT_NEAR(std::norm(butterworthLowpass(20e6, 10e6, n)), 1.0 / (1.0 + std::pow(4.0, n)), 1e-6) << n;
    EXPECT_NEAR(std::abs(butterworthLowpass(1e3, 10e6, n) - 1.0), 0.0, 1e-3) << n;
  }
  // Band-pass: 1 at the centre, -3 dB at the edges that are B apart.
  const double f0 = 10e6, b = 2e6;
  const double x = b / (2.0 * f0);
  EXPECT_NEAR(std::abs(butterworthBandpass(f0, f0, b, 3) - 1.0), 0.0, 1e-6);
  EXPECT_NEAR(std::abs(butterworthBandpass(f0 * (std::sqrt(1 + x * x) + x), f0, b, 3)), std::sqrt(0.5), 1e-6);
  EXPECT_NEAR(std::abs(butterworthBandpass(f0 * (std::sqrt(1 + x * x) - x), f0, b, 3)), std::sqrt(0.5), 1e-6);
  EXPECT_LT(std::abs(butterworthBandpass(1e6, f0, b, 3)), 1e-4);
  // RC: -3 dB and -45 degrees at 1 / (2 pi R C).
  const Complex rc = responseAt(Device::lowpassRc(1e3, 1e-9), 1.0 / (2.0 * kPi * 1e3 * 1e-9));
  EXPECT_NEAR(std::abs(rc), std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(std::arg(rc), -kPi / 4.0, 1e-6);
  EXPECT_NEAR(std::abs(responseAt(Device::attenuator(20.0), 5e6) - 0.1), 0.0, 1e-15);
  EXPECT_NEAR(std::abs(responseAt(Device::amplifier(20.0), 5e6) - 10.0), 0.0, 1e-13);
  EXPECT_NEAR(std::arg(responseAt(Device::delayLine(10e-9), 5e6)), -2.0 * kPi * 5e6 * 10e-9, 1e-12);
}

TEST(MeasurementPath, ErrorsAreAFewPercentAndVisibleWithoutCalibration) {
  for (double f : {100e3, 1e6, 10e6, 50e6, 100e6}) {
    const BridgeErrors e = bridgeErrorsAt(f);
    EXPECT_GT(std::abs(e.directivity), 0.005) << f;
    EXPECT_LT(std::abs(e.directivity), 0.05) << f;
    EXPECT_GT(std::abs(e.sourceMatch), 0.01) << f;
    EXPECT_LT(std::abs(e.sourceMatch), 0.08) << f;
    EXPECT_NEAR(std::abs(e.tracking), 1.0, 0.05) << f;
    // A 50 ohm load does not read its nominal 2/3 unless calibrated.
    const Complex m = pathRatioAt(Device::resistor(50.0), f, PathErrors::Realistic);
    EXPECT_GT(std::abs(m - 2.0 / 3.0), 0.01) << f;
    EXPECT_LT(std::abs(m - 2.0 / 3.0), 0.1) << f;
    EXPECT_NEAR(std::abs(pathRatioAt(Device::through(), f, PathErrors::Realistic)), 1.0, 0.05) << f;
    EXPECT_LT(std::abs(pathRatioAt(Device::isolation(), f, PathErrors::Realistic)), 1e-3) << f;
  }
}

TEST(MeasurementPath, OpenShortLoadCalibrationRemovesTheBridgeErrorsExactly) {
  const Device load = Device::referenceLoad(50.0, 2e-9, 1e-12);
  for (double f : {100e3, 7e6, 45e6, 99e6}) {
    const Complex o = pathRatioAt(Device::open(), f, PathErrors::Realistic);
    const Complex s = pathRatioAt(Device::shortCircuit(), f, PathErrors::Realistic);
    const Complex l = pathRatioAt(load, f, PathErrors::Realistic);
    const Complex zl = impedanceAt(load, f);
    for (const Device& dut : {Device::resistor(10.0), Device::capacitor(100e-12), Device::seriesRlc(5.0, 1e-6, 1e-9),
                              Device::resistor(1e3)}) {
      const Complex m = pathRatioAt(dut, f, PathErrors::Realistic);
      const Complex z = impedanceAt(dut, f);
      EXPECT_NEAR(std::abs(correctedImpedance(m, o, s, l, zl) - z), 0.0, 1e-9 * (1.0 + std::abs(z))) << f;
    }
  }
}

}  // namespace
}  // namespace vna
