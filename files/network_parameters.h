// The numbers of a Touchstone data line as network parameters: a pair in
// one of the three formats as a complex number, Z and Y parameters as the S
// parameters the viewers show, and S as dB and degrees. Pure functions.
#pragma once

#include <array>
#include <complex>

namespace vna {

using Complex = std::complex<double>;

enum class PairFormat { DbAngle, MagnitudeAngle, RealImaginary };  // DB, MA, RI
enum class NetworkParameter { S, Y, Z };

// The complex value of a pair; angles in degrees.
Complex complexOf(PairFormat format, double first, double second);

struct DbAngle {
  double db = 0, degrees = 0;
};
// 20 log10 |s| (-inf for 0) and the angle in degrees, both as the programs'
// formulas compute them, so that rebuilding s from them gives s again.
DbAngle dbAngleOf(Complex s);

// A two-port matrix, row by row: {n11, n12, n21, n22}.
using Matrix2 = std::array<Complex, 4>;

// S of a one-port from its Z (ohms) or Y (siemens) on a real reference of
// `reference` ohms; S is returned as it is.
Complex oneportS(NetworkParameter parameter, Complex value, double reference);
// S of a two-port from its Z or Y matrix, each port on its own real
// reference (power waves, which coincide with the other definitions for
// real references).
Matrix2 twoPortS(NetworkParameter parameter, const Matrix2& value, double reference1, double reference2);

}  // namespace vna
