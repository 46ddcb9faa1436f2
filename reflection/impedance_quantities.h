// From the measured ratio to an impedance, and from an impedance to the two
// quantities each display mode shows. Pure functions over plain values.
#pragma once

#include <complex>

#include "files/touchstone_writer.h"

namespace vna {

using Complex = std::complex<double>;

// The bridge's nominal relation, without calibration: Z = 100 (1/m - 1).
Complex nominalImpedance(Complex ratio);

// The impedance a reflection of `db` dB at `degrees` stands for on a real
// reference of `reference` ohms: reference (1 + s)/(1 - s). A total
// reflection at angle 0 (an open circuit, where 1 - s is 0) gives R = X = 0
// instead of a division by zero.
Complex impedanceFromReflection(double db, double degrees, double reference);

// The reference load: its resistance in series with its inductance, the pair
// shunted by its capacitance.
Complex referenceLoadImpedance(double refR, double refL, double refC, double frequencyHz);

// Open/short/load correction of a measured ratio m with the standards
// measured at the same point: Z = ZL (O - L)(S - m) / ((L - S)(m - O)).
Complex correctedImpedance(Complex measured, Complex openStd, Complex shortStd, Complex loadStd,
                           Complex loadImpedance);

// displayMode of the impedance programs.
enum class ImpedanceMode : int {
  MagnitudePhase = 0,   // |z| and arg(z)
  RealImaginary = 1,    // Re(z) and Im(z)
  SeriesCQ = 2,         // Cs and Q
  SeriesLQ = 3,         // Ls and Q
  S11Db = 4,            // |s11| in dB and its angle
  ParallelCQ = 5,       // Cp and Q
  ParallelLQ = 6,       // Lp and Q
  ParallelCR = 7,       // Cp and Rp
  ParallelLR = 8,       // Lp and Rp
  S11Linear = 9,        // |s11| in units and its angle
  LogMagnitude = 10,    // |z| on a logarithmic scale and arg(z)
};

struct Quantities {
  double first = 0;
  double second = 0;
};

// The analyzers' bridge and files are referred to 50 ohms.
inline constexpr double kAnalyzerReferenceOhms = 50;

// The first and second quantity of display mode 0..10 for Z at f: |z| and
// arg, Re and Im, Cs/Ls/Cp/Lp in pF/nH with Q or Rp, s11 on a real
// reference (50 ohms on every screen) in dB or units with its angle.
// Nothing is clamped: infinite and not-a-number results arise as the
// formulas give them.
Quantities impedanceQuantities(int displayMode, Complex impedance, double frequencyHz,
                               double referenceOhms = kAnalyzerReferenceOhms);

// s11 = (Z - R0)/(Z + R0) on a real reference R0, written out as the
// display modes compute it: ((R^2 + X^2 - R0^2) + j 2 R0 X) / ((R + R0)^2 + X^2),
// with its modulus taken from the numerator's parts.
struct Reflection {
  double re = 0, im = 0, modulus = 0;
};
Reflection reflectionOf(Complex impedance, double referenceOhms);

// What no display mode shows, beside what they do: the admittance 1/Z in
// siemens, the parallel reactance |Z|^2/X, the dissipation factor 1/Q, the
// standing wave ratio (1 + |s|)/(1 - |s|) and the return loss -20 log10 |s|
// in dB (positive for a passive load).
Complex admittanceOf(Complex impedance);
double parallelReactance(Complex impedance);
double dissipationFactor(double q);
double standingWaveRatio(double s11Modulus);
double returnLossDb(double s11Db);

// The saved value of an impedance at a frequency: its s11 on 50 ohm in dB
// and degrees, in single precision, as the files hold it.
TouchstonePoint reflectionDbAngle(double frequency, Complex z);

}  // namespace vna
