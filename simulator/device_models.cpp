#include "simulator/device_models.h"

#include <cmath>
#include <limits>

#include "platform/numeric.h"
#include "simulator/filter_responses.h"

namespace vna {
namespace {

using Complex = std::complex<double>;

constexpr double kBridgeOhms = 100.0;  // the bridge's nominal reference

Complex openCircuit() {
  return {std::numeric_limits<double>::infinity(), 0.0};
}

double omega(double frequencyHz) {
  return 2.0 * kPi * frequencyHz;
}

Complex capacitorImpedance(double w, double farads) {
  if (w * farads == 0.0) return openCircuit();
  return {0.0, -1.0 / (w * farads)};
}

// Two impedances in series; an open one opens the pair.
Complex inSeries(Complex a, Complex b) {
  if (!std::isfinite(a.real()) || !std::isfinite(b.real())) return openCircuit();
  return a + b;
}

// Two impedances side by side; an open one leaves the other. A lossless
// pair at its resonance cancels: the tank is open.
Complex inParallel(Complex a, Complex b) {
  if (!std::isfinite(a.real())) return b;
  if (!std::isfinite(b.real())) return a;
  const Complex sum = a + b;
  if (sum == Complex{0.0, 0.0}) return openCircuit();
  return a * b / sum;
}

// With ESR and ESL at 0 this is exactly the ideal capacitor's -j/(wC).
Complex realCapacitorImpedance(const Device& d, double w) {
  return inSeries({d.resistance, w * d.inductance}, capacitorImpedance(w, d.capacitance));
}

// With CP at 0 the shunt is open and the coil is RS + jwL exactly.
Complex realInductorImpedance(const Device& d, double w) {
  return inParallel({d.resistance, w * d.inductance}, capacitorImpedance(w, d.capacitance));
}

// The motional arm (open at DC, and without C1) across the holder's C0.
Complex crystalImpedance(const Device& d, double w) {
  const Complex motional = inSeries({d.resistance, w * d.inductance}, capacitorImpedance(w, d.capacitance));
  return inParallel(motional, capacitorImpedance(w, d.shuntCapacitance));
}

Complex seriesRlcImpedance(const Device& d, double w) {
  Complex z{d.resistance, w * d.inductance};
  if (d.capacitance > 0.0) {
    if (w == 0.0) return openCircuit();
    z += Complex{0.0, -1.0 / (w * d.capacitance)};
  }
  return z;
}

Complex parallelRlcImpedance(const Device& d, double w) {
  // An inductor across the network shorts it at DC.
  if (d.inductance > 0.0 && w == 0.0) return {0.0, 0.0};
  Complex y{0.0, w * d.capacitance};
  if (d.resistance > 0.0) y += 1.0 / d.resistance;
  if (d.inductance > 0.0) y += Complex{0.0, -1.0 / (w * d.inductance)};
  if (y == Complex{0.0, 0.0}) return openCircuit();
  return 1.0 / y;
}

// (R + jwL) in parallel with C.
Complex referenceLoadImpedance(const Device& d, double w) {
  const Complex series{d.resistance, w * d.inductance};
  return series / Complex{1.0 - w * w * d.inductance * d.capacitance, w * d.resistance * d.capacitance};
}

Complex transmission(const Device& d, double f) {
  switch (d.kind) {
    case DeviceKind::Through: return {1.0, 0.0};
    case DeviceKind::Attenuator: return {std::pow(10.0, -d.decibels / 20.0), 0.0};
    case DeviceKind::Amplifier: return {std::pow(10.0, d.decibels / 20.0), 0.0};
    case DeviceKind::LowpassRc: return rcLowpass(f, d.resistance, d.capacitance);
    case DeviceKind::LowpassLc: return butterworthLowpass(f, d.frequency, d.order);
    case DeviceKind::BandpassLc: return butterworthBandpass(f, d.frequency, d.bandwidth, d.order);
    case DeviceKind::DelayLine: return std::polar(1.0, -omega(f) * d.seconds);
    default: return {0.0, 0.0};  // isolation; one-ports never get here
  }
}

Device withKind(DeviceKind kind) {
  Device d;
  d.kind = kind;
  return d;
}

Device withRlc(DeviceKind kind, double ohms, double henries, double farads) {
  Device d = withKind(kind);
  d.resistance = ohms;
  d.inductance = henries;
  d.capacitance = farads;
  return d;
}

}  // namespace

Device Device::resistor(double ohms) {
  return withRlc(DeviceKind::Resistor, ohms, 0.0, 0.0);
}
Device Device::capacitor(double farads, double esrOhms, double eslHenries) {
  return withRlc(DeviceKind::Capacitor, esrOhms, eslHenries, farads);
}
Device Device::inductor(double henries, double seriesOhms, double shuntFarads) {
  return withRlc(DeviceKind::Inductor, seriesOhms, henries, shuntFarads);
}
Device Device::crystal(double r1Ohms, double l1Henries, double c1Farads, double c0Farads) {
  Device d = withRlc(DeviceKind::Crystal, r1Ohms, l1Henries, c1Farads);
  d.shuntCapacitance = c0Farads;
  return d;
}
Device Device::seriesRlc(double ohms, double henries, double farads) {
  return withRlc(DeviceKind::SeriesRlc, ohms, henries, farads);
}
Device Device::parallelRlc(double ohms, double henries, double farads) {
  return withRlc(DeviceKind::ParallelRlc, ohms, henries, farads);
}
Device Device::open() {
  return withKind(DeviceKind::Open);
}
Device Device::shortCircuit() {
  return withKind(DeviceKind::Short);
}
Device Device::referenceLoad(double ohms, double henries, double farads) {
  return withRlc(DeviceKind::ReferenceLoad, ohms, henries, farads);
}
Device Device::through() {
  return withKind(DeviceKind::Through);
}
Device Device::attenuator(double lossDb) {
  Device d = withKind(DeviceKind::Attenuator);
  d.decibels = lossDb;
  return d;
}
Device Device::lowpassRc(double ohms, double farads) {
  return withRlc(DeviceKind::LowpassRc, ohms, 0.0, farads);
}
Device Device::lowpassLc(double cutoffHz, int order) {
  Device d = withKind(DeviceKind::LowpassLc);
  d.frequency = cutoffHz;
  d.order = order;
  return d;
}
Device Device::bandpassLc(double centreHz, double bandwidthHz, int order) {
  Device d = withKind(DeviceKind::BandpassLc);
  d.frequency = centreHz;
  d.bandwidth = bandwidthHz;
  d.order = order;
  return d;
}
Device Device::delayLine(double delaySeconds) {
  Device d = withKind(DeviceKind::DelayLine);
  d.seconds = delaySeconds;
  return d;
}
Device Device::amplifier(double gainDb) {
  Device d = withKind(DeviceKind::Amplifier);
  d.decibels = gainDb;
  return d;
}
Device Device::isolation() {
  return withKind(DeviceKind::Isolation);
}

bool isOnePort(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::Resistor:
    case DeviceKind::Capacitor:
    case DeviceKind::Inductor:
    case DeviceKind::SeriesRlc:
    case DeviceKind::ParallelRlc:
    case DeviceKind::Open:
    case DeviceKind::Short:
    case DeviceKind::ReferenceLoad:
    case DeviceKind::Crystal: return true;
    default: return false;
  }
}

std::complex<double> impedanceAt(const Device& d, double frequencyHz) {
  const double w = omega(frequencyHz);
  switch (d.kind) {
    case DeviceKind::Resistor: return {d.resistance, 0.0};
    case DeviceKind::Capacitor: return realCapacitorImpedance(d, w);
    case DeviceKind::Inductor: return realInductorImpedance(d, w);
    case DeviceKind::SeriesRlc: return seriesRlcImpedance(d, w);
    case DeviceKind::ParallelRlc: return parallelRlcImpedance(d, w);
    case DeviceKind::Short: return {0.0, 0.0};
    case DeviceKind::ReferenceLoad: return referenceLoadImpedance(d, w);
    case DeviceKind::Crystal: return crystalImpedance(d, w);
    default: return openCircuit();
  }
}

std::complex<double> bridgeRatio(std::complex<double> z) {
  if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) return {0.0, 0.0};
  const Complex sum = z + kBridgeOhms;
  // A passive device never cancels the bridge's 100 ohms; a negative
  // resistance could, and the bridge would then see no signal at all.
  if (sum == Complex{0.0, 0.0}) return {0.0, 0.0};
  return kBridgeOhms / sum;
}

std::complex<double> responseAt(const Device& d, double frequencyHz) {
  const Complex r = isOnePort(d.kind) ? bridgeRatio(impedanceAt(d, frequencyHz)) : transmission(d, frequencyHz);
  if (!std::isfinite(r.real()) || !std::isfinite(r.imag())) return {0.0, 0.0};
  return r;
}

}  // namespace vna
