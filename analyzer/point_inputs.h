// What one point of a measurement rests on, for whoever wants its
// uncertainty: the measured ratio (the mean of the averaged sweeps) and the
// standards or the through its correction used, each with its standard
// uncertainty, and the pure function from their values to the point's result:
// the impedance of a reflection (corrected by open, short and load, or
// nominal without a calibration), the transmission of a two-port (divided by
// the through, or turned back by the cable's electrical length).
//
// Any quantity derived from the result gets its uncertainty from propagate()
// (measurement/uncertainty.h), for instance a resistance:
//
//   const Propagated r = propagateResult(point, 1, {}, [](Complex z, std::span<double> v) { v[0] = z.real(); });
//
// The uncertainty is that of the spread of the averaged sweeps alone: the
// device's and the standards'. The reference load's tolerance, drift and the
// instrument's errors the correction does not remove are not in it.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "analyzer/calibration_file.h"
#include "analyzer/quantity_choice.h"
#include "measurement/uncertainty.h"

namespace vna {

enum class Correction {
  NominalImpedance,  // reflection without a calibration: inputs {m}
  OpenShortLoad,     // reflection with one: inputs {m, open, short, load}
  ElectricalLength,  // transmission without a calibration: inputs {m}
  Normalized,        // transmission with one: inputs {m, through}
};

struct PointInputs {
  Correction correction = Correction::NominalImpedance;
  double frequency = 0;
  Complex loadImpedance;    // OpenShortLoad: the reference load's impedance at this frequency
  double lengthMetres = 0;  // ElectricalLength
  std::vector<UncertainComplex> inputs;
  // The mean of the sweeps' levels (base-10 logarithms of the amplitudes)
  // as one pair, levelA + j levelR, with their uncertainties.
  UncertainComplex levels;

  // The result of the inputs taking `values` (in the order of `inputs`).
  Complex result(std::span<const Complex> values) const;
  // The result of the inputs' own values.
  Complex result() const;
};

// Point i of a sweep, its ratio `measured`, with the standards of
// `calibration` at that point (which must hold those the command needs) or
// without.
PointInputs reflectionPoint(const UncertainComplex& measured, std::size_t i, double frequency,
                            const std::optional<Calibration>& calibration);
PointInputs transmissionPoint(const UncertainComplex& measured, std::size_t i, double frequency,
                              const std::optional<Calibration>& calibration, double lengthMetres);

// `count` quantities computed from the point's result, with their standard
// uncertainties; those marked in `degrees` are angles (see propagate()).
Propagated propagateResult(const PointInputs& point, std::size_t count, std::span<const bool> degrees,
                           const std::function<void(Complex result, std::span<double> values)>& quantities);

// The chosen quantities of point j of `points` with their uncertainties:
// those of a reflection from its impedance (s11 on 50 ohms, as the files
// hold it), those of a transmission from its ratio, its group delay from the
// points the aperture takes on either side (their inputs are in the delay's
// uncertainty too) and its levels as the level bars show them.
Propagated pointQuantities(const QuantityChoice& choice, std::span<const PointInputs> points, std::size_t j);

// How many points after j pointQuantities reads: half the delay's aperture
// when the delay is chosen, else none. Point j is final once point j + lag is.
std::size_t quantityLag(const QuantityChoice& choice);

}  // namespace vna
