// A user measures a component and asks for its values: sweeps made from
// known circuits with an instrument's noise (1e-4 on s11, as a bridge or a
// VNA has it), read back as resonances and as the fitted equivalent
// circuit, each value with its uncertainty.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "reflection/equivalent_circuits.h"
#include "reflection/resonances.h"

namespace vna {
namespace {

constexpr double kPi = 3.1415926;
const Complex j{0, 1};

using Truth = std::function<Complex(double w)>;

std::vector<double> logSweep(double low, double high, int points) {
  std::vector<double> f;
  for (int i = 0; i < points; ++i) f.push_back(low * std::pow(high / low, i / (points - 1.0)));
  return f;
}

// The true impedance at each frequency as an instrument reads it: its
// reflection on 50 ohms off by 1e-4 in each part.
std::vector<Complex> measure(const std::vector<double>& f, const Truth& truth, unsigned seed) {
  std::mt19937_64 engine(seed);
  std::normal_distribution<double> gaussian(0, 1e-4);
  std::vector<Complex> z;
  for (const double fi : f) {
    const Complex zt = truth(2 * kPi * fi), s = (zt - 50.0) / (zt + 50.0) + Complex(gaussian(engine), gaussian(engine));
    z.push_back(50.0 * (1.0 + s) / (1.0 - s));
  }
  return z;
}

const FittedValue* valueNamed(const CircuitFit& fit, std::string_view name) {
  for (const FittedValue& v : fit.values)
    if (v.name == name) return &v;
  return nullptr;
}

// Fits `model` to twelve noisy sweeps of the truth: every value within
// `tolerance` (relative) of its true value, and the errors over the sweeps
// of the size of the reported uncertainties (their ratio between 1/3 and 3).
void expectRecovered(CircuitModel model, const std::vector<double>& f, const Truth& truth,
                     const std::map<std::string, double>& expected, double tolerance) {
  std::map<std::string, double> squaredRatio;
  constexpr int kSweeps = 12;
  for (unsigned seed = 1; seed <= kSweeps; ++seed) {
    const CircuitFit fit = fitCircuit(model, f, measure(f, truth, seed));
    ASSERT_TRUE(fit.converged) << circuitModelName(model) << ": " << fit.failure;
    for (const auto& [name, value] : expected) {
      const FittedValue* v = valueNamed(fit, name);
      ASSERT_NE(v, nullptr) << name;
      EXPECT_NEAR(v->value / value, 1, tolerance) << circuitModelName(model) << " " << name;
      squaredRatio[name] += std::pow((v->value - value) / v->u, 2) / kSweeps;
      if (seed == 1)
        std::printf("%-12s %-8s %14.7g u %10.3g  truth %14.7g  (error %.2g u)\n", circuitModelName(model).data(),
                    name.c_str(), v->value, v->u, value, (v->value - value) / v->u);
    }
    if (seed == 1) std::printf("%-12s residual %.3g %%\n", circuitModelName(model).data(), 100 * fit.rmsResidual);
  }
  for (const auto& [name, ratio] : squaredRatio) {
    std::printf("%-12s %-8s rms error / u over %d sweeps: %.2f\n", circuitModelName(model).data(), name.c_str(),
                kSweeps, std::sqrt(ratio));
    EXPECT_GT(std::sqrt(ratio), 1.0 / 3) << name << ": uncertainty too large";
    EXPECT_LT(std::sqrt(ratio), 3.0) << name << ": uncertainty too small";
  }
}

void expectChosen(CircuitModel model, const std::vector<double>& f, const Truth& truth) {
  const ModelChoice choice = chooseModel(f, measure(f, truth, 99));
  std::printf("chosen: %s\n", choice.reason.c_str());
  EXPECT_EQ(circuitModelName(choice.best.model), circuitModelName(model)) << choice.reason;
}

TEST(ComponentAnalysis, CrystalOf10MHzGivesFsFpAndItsMotionalArm) {
  const double r1 = 10, l1 = 10e-3, c1 = 25.33e-15, c0 = 5e-12;
  const Truth crystal = [=](double w) { return 1.0 / (1.0 / (r1 + j * w * l1 + 1.0 / (j * w * c1)) + j * w * c0); };
  const double fs = 1 / (2 * kPi * std::sqrt(l1 * c1)), fp = fs * std::sqrt(1 + c1 / c0);
  const std::vector<double> f = logSweep(9.98e6, 10.04e6, 801);

  const std::vector<Resonance> found = findResonances(f, measure(f, crystal, 5));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].kind, Resonance::Kind::Series);
  EXPECT_NEAR(found[0].frequencyHz / fs - 1, 0, 3e-6);
  EXPECT_NEAR(found[0].q / (2 * kPi * fs * l1 / r1), 1, 0.1);
  EXPECT_NEAR(found[0].impedanceOhms, r1, 0.5);
  // About two points per 160 Hz of width: the 3 dB edges are interpolated.
  ASSERT_TRUE(found[0].q3dB);
  std::printf("crystal Q at fs: slope %.0f, 3 dB width %.0f, truth %.0f\n", found[0].q, *found[0].q3dB,
              2 * kPi * fs * l1 / r1);
  EXPECT_NEAR(*found[0].q3dB / (2 * kPi * fs * l1 / r1), 1, 0.2);
  EXPECT_EQ(found[1].kind, Resonance::Kind::Parallel);
  EXPECT_NEAR(found[1].frequencyHz / fp - 1, 0, 5e-6);  // read where |Z| is 1000 times the reference

  expectRecovered(CircuitModel::Crystal, f, crystal,
                  {{"r1_ohm", r1}, {"l1_h", l1}, {"c1_f", c1}, {"c0_f", c0}, {"fs_hz", fs}, {"fp_hz", fp}}, 0.03);
  const CircuitFit fit = fitCircuit(CircuitModel::Crystal, f, measure(f, crystal, 1));
  EXPECT_NEAR(valueNamed(fit, "fs_hz")->value / fs - 1, 0, 3e-6);
  expectChosen(CircuitModel::Crystal, f, crystal);
}

TEST(ComponentAnalysis, CapacitorWithEsrAndEslResonatesAtItsSrf) {
  const double c = 100e-9, esr = 0.1, esl = 5e-9;
  const Truth capacitor = [=](double w) { return esr + j * w * esl + 1.0 / (j * w * c); };
  const double srf = 1 / (2 * kPi * std::sqrt(esl * c));
  const std::vector<double> f = logSweep(1e3, 60e6, 801);

  const std::vector<Resonance> found = findResonances(f, measure(f, capacitor, 5));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].kind, Resonance::Kind::Series);
  EXPECT_NEAR(found[0].frequencyHz / srf, 1, 0.01);
  EXPECT_NEAR(found[0].impedanceOhms, esr, 0.005);  // 1e-4 on s11 is 2.5 mohm near a short
  const double q = std::sqrt(esl / c) / esr;  // 2.24
  EXPECT_NEAR(found[0].q / q, 1, 0.05);
  ASSERT_TRUE(found[0].q3dB);
  EXPECT_NEAR(*found[0].q3dB / q, 1, 0.1);

  expectRecovered(CircuitModel::Capacitor, f, capacitor,
                  {{"c_f", c}, {"esr_ohm", esr}, {"esl_h", esl}, {"srf_hz", srf}}, 0.03);
  expectChosen(CircuitModel::Capacitor, f, capacitor);
}

TEST(ComponentAnalysis, SmallCapacitorWhoseParasiticsTheSweepCannotSee) {
  // 1 nF from 1 kHz to 1 MHz: ESR and ESL stay below the noise. Still a
  // capacitor, with ESR and ESL near zero and uncertainties that bound them.
  const std::vector<double> f = logSweep(1e3, 1e6, 801);
  const ModelChoice choice = chooseModel(f, measure(
                                                f, [](double w) { return 1.0 / (j * w * 1e-9); }, 5));
  std::printf("1 nF chosen: %s\n", choice.reason.c_str());
  ASSERT_EQ(choice.best.model, CircuitModel::Capacitor) << choice.reason;
  EXPECT_NEAR(valueNamed(choice.best, "c_f")->value, 1e-9, 1e-11);
  const FittedValue* esr = valueNamed(choice.best, "esr_ohm");
  std::printf("esr %.3g u %.3g\n", esr->value, esr->u);
  EXPECT_LT(esr->value, 3 * esr->u);
  EXPECT_LT(esr->u, 0.01 * 159);  // a hundredth of |Z| at 1 MHz would show
}

TEST(ComponentAnalysis, CoilWithItsWindingCapacitanceShowsItsSrfAndBestQ) {
  const double l = 10e-6, rs = 0.5, cp = 2e-12;
  const Truth coil = [=](double w) { return 1.0 / (1.0 / (rs + j * w * l) + j * w * cp); };
  const std::vector<double> f = logSweep(10e3, 60e6, 801);
  const double srf = 1 / (2 * kPi * std::sqrt(l * cp));

  const std::vector<Resonance> found = findResonances(f, measure(f, coil, 5));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].kind, Resonance::Kind::Parallel);
  EXPECT_NEAR(found[0].frequencyHz / srf, 1, 0.01);

  // The best Q over the sweep, found the slow way on a fine grid.
  double bestQ = 0, bestAt = 0;
  for (const double fi : logSweep(f.front(), f.back(), 200001)) {
    const Complex zi = coil(2 * kPi * fi);
    if (zi.imag() / zi.real() > bestQ) bestQ = zi.imag() / zi.real(), bestAt = fi;
  }
  expectRecovered(CircuitModel::Inductor, f, coil,
                  {{"l_h", l}, {"rs_ohm", rs}, {"cp_f", cp}, {"srf_hz", srf}, {"q", bestQ}, {"q_at_hz", bestAt}}, 0.03);
  expectChosen(CircuitModel::Inductor, f, coil);
}

TEST(ComponentAnalysis, SeriesAndParallelRlcGiveTheirQBothWays) {
  const double r = 10, l = 10e-6, c = 1e-9, f0 = 1 / (2 * kPi * std::sqrt(l * c));
  const std::vector<double> f = logSweep(f0 / 10, f0 * 10, 801);
  const Truth series = [=](double w) { return r + j * w * l + 1.0 / (j * w * c); };
  std::vector<Resonance> found = findResonances(f, measure(f, series, 5));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].kind, Resonance::Kind::Series);
  EXPECT_NEAR(found[0].q, 10, 0.3);  // w0 L / R
  ASSERT_TRUE(found[0].q3dB);
  EXPECT_NEAR(*found[0].q3dB, 10, 0.3);
  expectRecovered(CircuitModel::RlcSeries, f, series, {{"r_ohm", r}, {"l_h", l}, {"c_f", c}, {"f0_hz", f0}}, 0.03);
  expectChosen(CircuitModel::RlcSeries, f, series);

  const double rp = 5e3;  // Q = R / (w0 L) = 50
  const Truth parallel = [=](double w) { return 1.0 / (1 / rp + 1.0 / (j * w * l) + j * w * c); };
  found = findResonances(f, measure(f, parallel, 5));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].kind, Resonance::Kind::Parallel);
  EXPECT_NEAR(found[0].frequencyHz / f0, 1, 1e-3);
  EXPECT_NEAR(found[0].impedanceOhms, rp, 0.02 * rp);
  EXPECT_NEAR(found[0].q, 50, 2.5);
  ASSERT_TRUE(found[0].q3dB);
  EXPECT_NEAR(*found[0].q3dB, 50, 2.5);
  expectRecovered(CircuitModel::RlcParallel, f, parallel, {{"r_ohm", rp}, {"l_h", l}, {"c_f", c}, {"q", 50}}, 0.03);
  expectChosen(CircuitModel::RlcParallel, f, parallel);
}

TEST(ComponentAnalysis, ResistorShowsNoResonanceAndItsParasitics) {
  // A pure 50 ohm: its reactance is only noise around zero.
  const std::vector<double> f = logSweep(100e3, 99e6, 801);
  const Truth pure = [](double) { return Complex(50, 0); };
  EXPECT_TRUE(findResonances(f, measure(f, pure, 5)).empty());
  // Fitted as well by a series RLC whose L and C the sweep cannot see: the
  // resistor is the circuit that resolves its values.
  const ModelChoice plain = chooseModel(f, measure(f, pure, 5));
  std::printf("pure 50 ohm chosen: %s\n", plain.reason.c_str());
  EXPECT_EQ(plain.best.model, CircuitModel::Resistor);
  EXPECT_NEAR(valueNamed(plain.best, "r_ohm")->value, 50, 0.05);

  const double r = 50, ls = 10e-9, cp = 1e-12;
  const Truth resistor = [=](double w) { return 1.0 / (1.0 / (r + j * w * ls) + j * w * cp); };
  EXPECT_TRUE(findResonances(f, measure(f, resistor, 5)).empty());
  expectRecovered(CircuitModel::Resistor, f, resistor, {{"r_ohm", r}, {"ls_h", ls}, {"cp_f", cp}}, 0.1);
  expectChosen(CircuitModel::Resistor, f, resistor);
}

TEST(ComponentAnalysis, UnusableSweepsSaySoAndGiveNoValues) {
  const std::vector<double> f = logSweep(1e3, 1e6, 11);
  std::vector<Complex> z(f.size(), Complex(50, 1));
  const CircuitFit shortOfOne = fitCircuit(CircuitModel::Capacitor, f, std::span(z).first(10));
  EXPECT_FALSE(shortOfOne.converged);
  EXPECT_TRUE(shortOfOne.values.empty());
  EXPECT_EQ(shortOfOne.failure, "the sweep has a different number of frequencies and impedances");
  z[4] = Complex(std::nan(""), 0);
  const ModelChoice choice = chooseModel(f, z);
  EXPECT_FALSE(choice.best.converged);
  EXPECT_EQ(choice.reason, "the impedance of point 5 is not finite");
  // A crystal needs its series resonance: a plain capacitance has none.
  for (std::size_t i = 0; i < f.size(); ++i) z[i] = 1.0 / (j * 2.0 * kPi * f[i] * 1e-9);
  const CircuitFit crystal = fitCircuit(CircuitModel::Crystal, f, z);
  EXPECT_FALSE(crystal.converged);
  EXPECT_EQ(crystal.failure, "the sweep shows no series resonance");
  EXPECT_FALSE(parseCircuitModel("quartz"));
  EXPECT_EQ(parseCircuitModel("rlc-parallel"), CircuitModel::RlcParallel);
}

}  // namespace
}  // namespace vna
