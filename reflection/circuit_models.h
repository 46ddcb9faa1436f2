// The four circuits the equivalent-circuit fits are made of, their impedance
// with its derivatives, and where a fit of each starts. Several named models
// share one circuit (a capacitor with ESR and ESL is a series RLC; a resistor
// with its series L and shunt C is a coil with its series R and shunt C):
// they differ only in how their values are named and what is derived.
#pragma once

#include <array>
#include <complex>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "reflection/resonances.h"

namespace vna {

enum class Circuit {
  SeriesRlc,    // R + jwL + 1/(jwC)                         elements r, l, c
  ShuntedCoil,  // (R + jwL) in parallel with C               elements r, l, c
  ParallelRlc,  // R, L and C in parallel                      elements r, l, c
  Crystal,      // R1 + jwL1 + 1/(jwC1) in parallel with C0    elements r1, l1, c1, c0
};

inline constexpr int kMaxElements = 4;
using Elements = std::array<double, kMaxElements>;

int elementCount(Circuit circuit);

// The circuit's impedance at angular frequency w, and into `slopes` (when
// given) its derivative by the logarithm of each element, p dZ/dp: the fits
// run in logarithms, where 1e-15 F and 1e6 ohm are steps of the same size.
Complex circuitImpedance(Circuit circuit, const Elements& p, double w, Complex* slopes = nullptr);

// Starting element values from the physics of the sweep: the resonances
// (R, L and C at a series or parallel resonance from |Z| and the Q of the
// slope) and the asymptotes (C from the reactance of the lowest points, L
// from the highest, the crystal's C0 from the susceptance far from its
// resonance). A reason instead when the sweep shows nothing to start from.
std::variant<Elements, std::string> startingElements(Circuit circuit, std::span<const double> frequencyHz,
                                                     std::span<const Complex> z, std::span<const Resonance> resonances);

}  // namespace vna
