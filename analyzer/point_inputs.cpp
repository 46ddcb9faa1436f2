#include "analyzer/point_inputs.h"

#include "analyzer/sample_conversion.h"
#include "reflection/impedance_quantities.h"
#include "transmission/transmission_quantities.h"

namespace vna {

Complex PointInputs::result(std::span<const Complex> x) const {
  switch (correction) {
    case Correction::NominalImpedance: return nominalImpedance(x[0]);
    case Correction::OpenShortLoad: return correctedImpedance(x[0], x[1], x[2], x[3], loadImpedance);
    case Correction::ElectricalLength: return rotateByElectricalLength(x[0], lengthMetres, frequency);
    case Correction::Normalized: return normalized(x[0], x[1]);
  }
  return x[0];
}

Complex PointInputs::result() const {
  std::vector<Complex> values;
  for (const UncertainComplex& input : inputs) values.push_back(input.value);
  return result(values);
}

std::vector<PointInputs> reflectionInputs(std::span<const UncertainComplex> measured, std::span<const double> frequency,
                                          const std::optional<Calibration>& cal) {
  std::vector<PointInputs> points;
  for (std::size_t i = 0; i < measured.size(); ++i) {
    PointInputs p{Correction::NominalImpedance, frequency[i], {}, 0, {measured[i]}};
    if (cal) {
      p.correction = Correction::OpenShortLoad;
      p.loadImpedance = referenceLoadImpedance(cal->refR, cal->refL, cal->refC, frequency[i]);
      p.inputs.push_back(standardPoint(*cal->open, cal->openSpread, i));
      p.inputs.push_back(standardPoint(*cal->shortCircuit, cal->shortSpread, i));
      p.inputs.push_back(standardPoint(*cal->load, cal->loadSpread, i));
    }
    points.push_back(std::move(p));
  }
  return points;
}

std::vector<PointInputs> transmissionInputs(std::span<const UncertainComplex> measured,
                                            std::span<const double> frequency, const std::optional<Calibration>& cal,
                                            double lengthMetres) {
  std::vector<PointInputs> points;
  for (std::size_t i = 0; i < measured.size(); ++i) {
    PointInputs p{Correction::ElectricalLength, frequency[i], {}, lengthMetres, {measured[i]}};
    if (cal) {
      p.correction = Correction::Normalized;
      p.inputs.push_back(standardPoint(*cal->through, cal->throughSpread, i));
    }
    points.push_back(std::move(p));
  }
  return points;
}

Propagated propagateResult(const PointInputs& point, std::size_t count, std::span<const bool> degrees,
                           const std::function<void(Complex result, std::span<double> values)>& quantities) {
  return propagate(point.inputs, count, degrees,
                   [&](std::span<const Complex> x, std::span<double> values) { quantities(point.result(x), values); });
}

}  // namespace vna
