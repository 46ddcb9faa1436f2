// Two measurements as vna-measure analyze hands them to the report, from
// the circuits' formulas with a little noise of the instrument: a 10 MHz
// quartz crystal with its fitted model (a one-port), and a 10 MHz
// three-pole Butterworth low-pass filter (a two-port).
#pragma once

#include <cmath>
#include <complex>
#include <random>

#include "report/report_data.h"

namespace vna::examples {

using Complex = std::complex<double>;
inline constexpr double kTwoPi = 2 * 3.14159265358979323846;

// Butterworth-Van Dyke: the motional arm Rm, Lm, Cm in parallel with C0.
struct Crystal {
  double rm, lm, cm, c0;
  Complex impedance(double f) const {
    const double w = kTwoPi * f;
    const Complex motional(rm, w * lm - 1 / (w * cm));
    return 1.0 / (1.0 / motional + Complex(0, w * c0));
  }
  double seriesResonance() const { return 1 / (kTwoPi * std::sqrt(lm * cm)); }
  double parallelResonance() const { return seriesResonance() * std::sqrt(1 + cm / c0); }
};

// Readings spread by about `relative` of their size, the same every run.
inline Complex withNoise(Complex value, double relative, std::mt19937& random) {
  std::normal_distribution<double> normal(0, relative);
  return value * Complex(1 + normal(random), normal(random));
}

inline ReportData crystalReport(int points = 801) {
  const Crystal crystal{15, 12.665e-3, 20.0e-15, 5.0e-12};
  const Crystal fitted{15.3, 12.6652e-3, 19.99969e-15, 5.01e-12};
  ReportData data;
  data.title = "crystal-10MHz.s1p";
  data.lines = {"measured 2024-05-14 10:32, 801 points from 9.98 MHz to 10.06 MHz, linear, 50 Ω reference",
                "model: quartz crystal (Butterworth-Van Dyke: Rm, Lm, Cm in series, shunted by C0), chosen over a "
                "series RLC because the impedance has a series and a parallel resonance; residual 0.31 %"};
  std::mt19937 random(7);
  for (int i = 0; i < points; ++i) {
    const double f = 9.98e6 + 0.08e6 * i / (points - 1);
    data.frequencyHz.push_back(f);
    data.measured.push_back(withNoise(crystal.impedance(f), 0.004, random));
    data.model.push_back(fitted.impedance(f));
  }
  data.markers = {{fitted.seriesResonance(), "fs"}, {fitted.parallelResonance(), "fp"}};
  data.table = {{"Rm", "15.30", "0.08", "Ω"},   {"Lm", "12.6652", "0.0006", "mH"}, {"Cm", "19.9997", "0.0010", "fF"},
                {"C0", "5.010", "0.004", "pF"}, {"fs", "10 000 057", "2", "Hz"},   {"fp", "10 019 997", "5", "Hz"},
                {"Q", "52 010", "270", ""}};
  return data;
}

// A three-pole Butterworth low-pass on 50 ohms: shunt C, series L, shunt C.
inline Complex lowPassS21(double f, double cutoff) {
  const double w = kTwoPi * f, c = 1 / (kTwoPi * cutoff * 50), l = 2 * 50 / (kTwoPi * cutoff);
  const Complex shunt(0, w * c), series(0, w * l);
  // ABCD of shunt, series, shunt; s21 = 2 / (A + B/R + C R + D).
  const Complex a = 1.0 + series * shunt, b = series, cc = 2.0 * shunt + shunt * series * shunt, d = a;
  return 2.0 / (a + b / 50.0 + cc * 50.0 + d);
}

inline ReportData lowPassReport(int points = 801) {
  ReportData data;
  data.title = "lowpass-10MHz.s2p";
  data.lines = {"measured 2024-05-14 11:05, 801 points from 100 kHz to 100 MHz, logarithmic",
                "model: three-pole Butterworth low-pass, cut-off 9.93 MHz"};
  data.kind = ReportKind::TwoPort;
  std::mt19937 random(11);
  std::normal_distribution<double> floor(0, 2e-5);
  for (int i = 0; i < points; ++i) {
    const double f = 1e5 * std::pow(1000.0, double(i) / (points - 1));
    data.frequencyHz.push_back(f);
    data.measured.push_back(withNoise(lowPassS21(f, 10e6), 0.0005, random) + Complex(floor(random), floor(random)));
    data.model.push_back(lowPassS21(f, 9.93e6));
  }
  data.markers = {{9.93e6, "−3 dB"}};
  data.table = {{"cut-off (−3 dB)", "9.93", "0.02", "MHz"}, {"pass-band loss", "0.04", "0.01", "dB"}};
  return data;
}

}  // namespace vna::examples
