#include "reflection/reflection_columns.h"

#include <cmath>
#include <limits>

#include "reflection/impedance_quantities.h"

namespace vna {

namespace {

// An ideal open, as files of calibration standards hold it (s = 1), has no
// finite impedance, and the s11 formulas give inf/inf there; its reflection
// is known all the same: s11 = 1 at 0 degrees, no return loss, an infinite SWR.
void openCircuitReflection(ReflectionValues& v) {
  v[reflectionColumn("s11_re")] = 1;
  for (std::string_view zero : {"s11_im", "s11_db", "s11_deg", "rl_db"}) v[reflectionColumn(zero)] = 0;
  v[reflectionColumn("swr")] = std::numeric_limits<double>::infinity();
}

}  // namespace

ReflectionValues reflectionValues(Complex z, double f, double reference) {
  const auto mode = [&](ImpedanceMode m) { return impedanceQuantities(static_cast<int>(m), z, f, reference); };
  constexpr double kPerPico = 1e-12, kPerNano = 1e-9;  // the display modes' pF and nH
  const Reflection s = reflectionOf(z, reference);
  const Quantities polar = mode(ImpedanceMode::MagnitudePhase);
  const Quantities s11 = mode(ImpedanceMode::S11Db);
  const Quantities seriesC = mode(ImpedanceMode::SeriesCQ);
  const Quantities parallelCR = mode(ImpedanceMode::ParallelCR);
  const Complex y = admittanceOf(z);
  ReflectionValues values{
      s.re,
      s.im,
      s11.first,
      s11.second,
      polar.first,
      polar.second,
      z.real(),
      z.imag(),
      y.real(),
      y.imag(),
      mode(ImpedanceMode::SeriesLQ).first * kPerNano,
      seriesC.first * kPerPico,
      parallelCR.second,
      parallelReactance(z),
      mode(ImpedanceMode::ParallelLQ).first * kPerNano,
      parallelCR.first * kPerPico,
      seriesC.second,
      dissipationFactor(seriesC.second),
      standingWaveRatio(s.modulus),
      returnLossDb(s11.first),
  };
  if (std::isinf(std::abs(z))) openCircuitReflection(values);
  return values;
}

}  // namespace vna
