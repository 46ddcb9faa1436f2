// What a transmission scan shows of one point: gain in dB or in linear
// units, phase, and the group delay over an aperture of points; and the
// aperture's own stepping. Pure functions of the complex ratio.
#pragma once

#include <complex>

#include "files/touchstone_writer.h"

namespace vna {

using Complex = std::complex<double>;

// TransmissionMode values.
enum class TransmissionMode : int { GainDbPhase = 0, GainUnitsPhase = 1, GainDbDelay = 2 };
inline constexpr int kTransmissionModes = 3;

// The modulus as the formulas write it, sqrt(re^2 + im^2).
double modulus(Complex x);
double gainDb(Complex x);         // 20 log10 |x|; -inf for 0
double phaseDegrees(Complex x);   // in (-180, 180], not unwrapped
// The ratio divided by the reference point of the same index.
Complex normalized(Complex ratio, Complex reference);
// Group delay in microseconds from the phase step between the point `before`
// (aperture points earlier) and the point `now`: the step is taken in
// (-pi, pi], so a phase wrapping from +179 to -179 degrees is a +2 degree step.
double groupDelayMicroseconds(Complex now, Complex before, double frequencyNow, double frequencyBefore);

// An input level as the level bars and the level traces show it, in dBm:
// 20 x levelA or 20 x levelR of the scan record.
double levelDbm(double level);

// The same from a file's angles in degrees: their difference taken within
// +-180 degrees.
double groupDelayFromAngles(double degreesNow, double degreesBefore, double frequencyNow, double frequencyBefore);

// The delay aperture in points: doubled or halved by the panel item, from 2
// to (N-1) x 0.16, round again at both ends. An aperture left too large by a
// change of meas/scan is first brought back to that largest value.
int delayApertureLimit(int points);
int stepDelayAperture(int aperture, int points, bool forward);
// As the panel shows it, in percent of the range.
double delayAperturePercent(int aperture, int points);

// The saved value of a transmission point, at the frequency the plan gives
// point i: the gain in dB and the angle in degrees, in single precision.
TouchstonePoint transmissionDbAngle(double frequency, Complex t);

}  // namespace vna
