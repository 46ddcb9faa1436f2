// From the measured ratio to an impedance, and from an impedance to the two
// quantities each display mode shows. Pure functions over plain values.
#pragma once

#include <complex>

namespace vna {

using Complex = std::complex<double>;

// The bridge's nominal relation, without calibration: Z = 100 (1/m - 1).
Complex nominalImpedance(Complex ratio);

// The reference load: its resistance in series with its inductance, the pair
// shunted by its capacitance.
Complex referenceLoadImpedance(double refR, double refL, double refC, double frequencyHz);

// Open/short/load correction of a measured ratio m with the standards
// measured at the same point: Z = ZL (O - L)(S - m) / ((L - S)(m - O)).
Complex correctedImpedance(Complex measured, Complex openStd, Complex shortStd, Complex loadStd,
                           Complex loadImpedance);

struct Quantities {
  double first = 0;
  double second = 0;
};

// The first and second quantity of display mode 0..10 for Z at f: |z| and
// arg, Re and Im, Cs/Ls/Cp/Lp in pF/nH with Q or Rp, s11 in dB or units
// with its angle. Nothing is clamped: infinite and not-a-number results
// arise as the formulas give them.
Quantities impedanceQuantities(int displayMode, Complex impedance, double frequencyHz);

}  // namespace vna
