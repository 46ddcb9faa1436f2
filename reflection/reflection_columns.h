// The quantities vna-measure writes of a reflection point, in the order of
// its columns, and their values for one impedance. The maths are the display
// modes' own (impedance_quantities.h), turned from pF, nH back to farads and
// henries; s11 is taken on the reference the impedance belongs to: 50 ohms
// for the instrument, a file's own for a converted file.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <string_view>

#include "measurement/quantity.h"

namespace vna {

using Complex = std::complex<double>;

inline constexpr auto kReflectionQuantities = std::to_array<Quantity>({
    {"s11_re", "", "real part of s11 = (Z - R0)/(Z + R0)"},
    {"s11_im", "", "imaginary part of s11"},
    {"s11_db", "dB", "20 log10 |s11|"},
    {"s11_deg", "deg", "angle of s11", true},
    {"z_ohm", "ohm", "|Z| = sqrt(R^2 + X^2)"},
    {"z_deg", "deg", "angle of Z = atan2(X, R)", true},
    {"r_ohm", "ohm", "R, the series resistance (ESR)"},
    {"x_ohm", "ohm", "X, the series reactance"},
    {"g_s", "S", "G = R/|Z|^2, the real part of Y = 1/Z"},
    {"b_s", "S", "B = -X/|Z|^2, the imaginary part of Y = 1/Z"},
    {"ls_h", "H", "series inductance X/w, w = 2 pi f (< 0 where X < 0)"},
    {"cs_f", "F", "series capacitance -1/(w X) (< 0 where X > 0)"},
    {"rp_ohm", "ohm", "parallel resistance Rp = |Z|^2/R"},
    {"xp_ohm", "ohm", "parallel reactance Xp = |Z|^2/X"},
    {"lp_h", "H", "parallel inductance Xp/w"},
    {"cp_f", "F", "parallel capacitance -1/(w Xp)"},
    {"q", "", "quality factor Q = |X/R| (series and parallel alike)"},
    {"d", "", "dissipation factor D = 1/Q"},
    {"swr", "", "standing wave ratio (1 + |s11|)/(1 - |s11|)"},
    {"rl_db", "dB", "return loss -20 log10 |s11|"},
});

using ReflectionValues = std::array<double, kReflectionQuantities.size()>;

// Where a quantity stands in the table (its size for a name not there).
constexpr std::size_t reflectionColumn(std::string_view name) {
  std::size_t i = 0;
  while (i < kReflectionQuantities.size() && kReflectionQuantities[i].name != name) ++i;
  return i;
}

// Every quantity of the table for the impedance Z at frequency f, s11 on a
// real reference of `referenceOhms`. Infinite and not-a-number values arise
// where the formulas give them (Q of a pure reactance, SWR of a short); an
// infinite |Z| (an ideal open) has s11 = 1.
ReflectionValues reflectionValues(Complex impedance, double frequencyHz, double referenceOhms);

}  // namespace vna
