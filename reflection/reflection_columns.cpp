#include "reflection/reflection_columns.h"

#include "reflection/impedance_quantities.h"

namespace vna {

ReflectionValues reflectionValues(Complex z, double f, double reference) {
  const auto mode = [&](ImpedanceMode m) { return impedanceQuantities(static_cast<int>(m), z, f, reference); };
  constexpr double kPerPico = 1e-12, kPerNano = 1e-9;  // the display modes' pF and nH
  const Reflection s = reflectionOf(z, reference);
  const Quantities polar = mode(ImpedanceMode::MagnitudePhase);
  const Quantities s11 = mode(ImpedanceMode::S11Db);
  const Quantities seriesC = mode(ImpedanceMode::SeriesCQ);
  const Quantities parallelCR = mode(ImpedanceMode::ParallelCR);
  const Complex y = admittanceOf(z);
  return {
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
}

}  // namespace vna
