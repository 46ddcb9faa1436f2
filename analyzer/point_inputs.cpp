#include "analyzer/point_inputs.h"

#include <algorithm>
#include <array>

#include "analyzer/sample_conversion.h"
#include "reflection/impedance_quantities.h"
#include "reflection/reflection_columns.h"
#include "transmission/transmission_columns.h"
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

PointInputs reflectionPoint(const UncertainComplex& measured, std::size_t i, double frequency,
                            const std::optional<Calibration>& cal) {
  PointInputs p{Correction::NominalImpedance, frequency, {}, 0, {measured}, {}};
  if (cal) {
    p.correction = Correction::OpenShortLoad;
    p.loadImpedance = referenceLoadImpedance(cal->refR, cal->refL, cal->refC, frequency);
    p.inputs.push_back(standardPoint(*cal->open, cal->openSpread, i));
    p.inputs.push_back(standardPoint(*cal->shortCircuit, cal->shortSpread, i));
    p.inputs.push_back(standardPoint(*cal->load, cal->loadSpread, i));
  }
  return p;
}

PointInputs transmissionPoint(const UncertainComplex& measured, std::size_t i, double frequency,
                              const std::optional<Calibration>& cal, double lengthMetres) {
  PointInputs p{Correction::ElectricalLength, frequency, {}, lengthMetres, {measured}, {}};
  if (cal) {
    p.correction = Correction::Normalized;
    p.inputs.push_back(standardPoint(*cal->through, cal->throughSpread, i));
  }
  return p;
}

Propagated propagateResult(const PointInputs& point, std::size_t count, std::span<const bool> degrees,
                           const std::function<void(Complex result, std::span<double> values)>& quantities) {
  return propagate(point.inputs, count, degrees,
                   [&](std::span<const Complex> x, std::span<double> values) { quantities(point.result(x), values); });
}

namespace {

constexpr double kFileReferenceOhms = 50;

// Which columns of a table are angles, as propagate() takes them.
template <std::size_t N>
constexpr std::array<bool, N> degreesOf(const std::array<Quantity, N>& table) {
  std::array<bool, N> degrees{};
  for (std::size_t i = 0; i < N; ++i) degrees[i] = table[i].degrees;
  return degrees;
}
constexpr auto kReflectionDegrees = degreesOf(kReflectionQuantities);
constexpr auto kTransmissionDegrees = degreesOf(kTransmissionQuantities);

std::size_t indexOf(std::span<const Quantity> table, std::string_view name) {
  return static_cast<std::size_t>(
      std::find_if(table.begin(), table.end(), [&](const Quantity& q) { return q.name == name; }) - table.begin());
}

bool chosen(const QuantityChoice& choice, std::string_view name) {
  const std::size_t i = indexOf(quantitiesOf(choice.kind), name);
  return std::find(choice.columns.begin(), choice.columns.end(), static_cast<int>(i)) != choice.columns.end();
}

// Every column of a transmission point: the delay from the points `half`
// before and after it when both are there.
Propagated transmissionPointValues(std::span<const PointInputs> points, std::size_t j, std::size_t half) {
  const PointInputs& p = points[j];
  const bool aperture = half > 0 && j >= half && j + half < points.size();
  const PointInputs* before = aperture ? &points[j - half] : nullptr;
  const PointInputs* after = aperture ? &points[j + half] : nullptr;
  // The inputs of the point, then of the points before and after it.
  std::vector<UncertainComplex> inputs = p.inputs;
  for (const PointInputs* q : {before, after})
    if (q) inputs.insert(inputs.end(), q->inputs.begin(), q->inputs.end());
  const InputLevels levels{p.levels.value.real(), p.levels.value.imag()};
  Propagated values =
      propagate(inputs, kTransmissionQuantities.size(), kTransmissionDegrees,
                [&](std::span<const Complex> x, std::span<double> v) {
                  const std::size_t n = p.inputs.size();
                  std::optional<DelayAperture> delay;
                  if (aperture) {
                    const std::size_t m = before->inputs.size();
                    delay = DelayAperture{before->result(x.subspan(n, m)), after->result(x.subspan(n + m)),
                                          before->frequency, after->frequency};
                  }
                  const TransmissionValues all = transmissionValues(p.result(x.first(n)), delay, levels);
                  std::copy(all.begin(), all.end(), v.begin());
                });
  // The levels are means of their own: their spread is their uncertainty.
  values.u[indexOf(kTransmissionQuantities, "level_a_dbm")] = levelDbm(p.levels.uRe);
  values.u[indexOf(kTransmissionQuantities, "level_r_dbm")] = levelDbm(p.levels.uIm);
  return values;
}

}  // namespace

std::size_t quantityLag(const QuantityChoice& choice) {
  return choice.kind == QuantityKind::Transmission && chosen(choice, "delay_s") ? kDefaultDelayAperture / 2 : 0;
}

Propagated pointQuantities(const QuantityChoice& choice, std::span<const PointInputs> points, std::size_t j) {
  Propagated all;
  if (choice.kind == QuantityKind::Reflection) {
    const PointInputs& p = points[j];
    all = propagateResult(p, kReflectionQuantities.size(), kReflectionDegrees, [&](Complex z, std::span<double> v) {
      const ReflectionValues values = reflectionValues(z, p.frequency, kFileReferenceOhms);
      std::copy(values.begin(), values.end(), v.begin());
    });
  } else {
    all = transmissionPointValues(points, j, quantityLag(choice));
  }
  Propagated out;
  for (const int column : choice.columns) {
    out.value.push_back(all.value[static_cast<std::size_t>(column)]);
    out.u.push_back(all.u[static_cast<std::size_t>(column)]);
  }
  return out;
}

}  // namespace vna
