#include "transmission/transmission_columns.h"

#include <algorithm>
#include <limits>

#include "transmission/transmission_quantities.h"

namespace vna {

TransmissionValues transmissionValues(Complex t, const std::optional<DelayAperture>& a,
                                      const std::optional<InputLevels>& levels) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  constexpr double kPerMicro = 1e-6;
  return {
      t.real(),
      t.imag(),
      gainDb(t),
      modulus(t),
      phaseDegrees(t),
      a ? groupDelayMicroseconds(a->after, a->before, a->afterHz, a->beforeHz) * kPerMicro : kNone,
      levels ? levelDbm(levels->levelA) : kNone,
      levels ? levelDbm(levels->levelR) : kNone,
  };
}

std::optional<DelayAperture> apertureAt(std::span<const Complex> t, std::span<const double> f, int i, int aperture) {
  const int half = aperture / 2, n = static_cast<int>(std::min(t.size(), f.size()));
  if (half < 1 || i - half < 0 || i + half >= n) return std::nullopt;
  const auto at = [](auto values, int k) { return values[static_cast<std::size_t>(k)]; };
  return DelayAperture{at(t, i - half), at(t, i + half), at(f, i - half), at(f, i + half)};
}

}  // namespace vna
