// The quantities vna-measure writes of a transmission point, in the order of
// its columns, and their values for one point. The maths are the transmission
// analyzer's own (transmission_quantities.h), the delay turned from
// microseconds back to seconds.
#pragma once

#include <array>
#include <complex>
#include <optional>
#include <span>

#include "measurement/quantity.h"

namespace vna {

using Complex = std::complex<double>;

inline constexpr auto kTransmissionQuantities = std::to_array<Quantity>({
    {"s21_re", "", "real part of the (normalized) ratio t = s21"},
    {"s21_im", "", "imaginary part of t"},
    {"gain_db", "dB", "20 log10 |t|"},
    {"gain", "", "|t|"},
    {"phase_deg", "deg", "angle of t", true},
    {"delay_s", "s", "group delay -dphi/(2 pi df) from the points before and after"},
    {"level_a_dbm", "dBm", "level of input A, as the level bars show it"},
    {"level_r_dbm", "dBm", "level of input R, as the level bars show it"},
});

using TransmissionValues = std::array<double, kTransmissionQuantities.size()>;

// The points the group delay of a point is taken from: a/2 points before and
// a/2 after it, so that the delay of points i - a and i is written at i - a/2,
// as the analyzer draws it.
struct DelayAperture {
  Complex before, after;
  double beforeHz = 0, afterHz = 0;
};
inline constexpr int kDefaultDelayAperture = 2;

// The input levels of the point (levelA, levelR of the scan record).
struct InputLevels {
  double levelA = 0, levelR = 0;
};

// Every quantity of the table for the ratio t; the delay is NaN without an
// aperture (the first and last a/2 points of a scan), the levels NaN
// without levels (a file has none).
TransmissionValues transmissionValues(Complex t, const std::optional<DelayAperture>& aperture,
                                      const std::optional<InputLevels>& levels);

// The aperture of point i of a scan of `points` ratios, or none at its ends.
std::optional<DelayAperture> apertureAt(std::span<const Complex> t, std::span<const double> frequencyHz, int i,
                                        int aperture = kDefaultDelayAperture);

}  // namespace vna
