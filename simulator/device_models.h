// The devices the virtual instrument can have connected: one-ports measured
// through its reflection bridge, and two-ports from its output to input A.
// A device is plain data (a kind and its values), so a test or a control
// script can build one, compare it and swap it while the instrument runs.
#pragma once

#include <complex>
#include <string_view>

namespace vna {

enum class DeviceKind {
  // One-ports, on the bridge.
  Resistor,
  Capacitor,    // C with its ESR and ESL in series; both 0 for an ideal one
  Inductor,     // L with its series RS, the pair shunted by CP; both 0 for an ideal one
  SeriesRlc,    // R + L + C in series; a zero L or C leaves it out
  ParallelRlc,  // R, L and C in parallel; a zero value leaves it out
  Open,
  Short,
  ReferenceLoad,  // R with series L, shunted by C: the calibration standard
  Crystal,        // Butterworth-Van Dyke: R1 + L1 + C1 in series, shunted by C0
  // Two-ports, from the output to input A.
  Through,
  Attenuator,  // loss in dB
  LowpassRc,   // series R, shunt C, unloaded
  LowpassLc,   // Butterworth LC ladder: cut-off frequency and order
  BandpassLc,  // Butterworth LC band-pass: centre, bandwidth and order
  DelayLine,   // a lossless line of the given delay
  Amplifier,   // gain in dB
  Isolation,   // nothing connected: only the instrument's crosstalk
};

struct Device {
  DeviceKind kind = DeviceKind::Open;
  double resistance = 0.0;        // ohms
  double inductance = 0.0;        // henries
  double capacitance = 0.0;       // farads
  double shuntCapacitance = 0.0;  // a crystal's C0, farads
  double decibels = 0.0;          // attenuator loss or amplifier gain
  double seconds = 0.0;           // delay line
  double frequency = 0.0;         // filter cut-off or centre, Hz
  double bandwidth = 0.0;         // band-pass width (-3 dB), Hz
  int order = 0;                  // filter order: number of reactive elements

  static Device resistor(double ohms);
  static Device capacitor(double farads, double esrOhms = 0.0, double eslHenries = 0.0);
  static Device inductor(double henries, double seriesOhms = 0.0, double shuntFarads = 0.0);
  static Device crystal(double r1Ohms, double l1Henries, double c1Farads, double c0Farads);
  static Device seriesRlc(double ohms, double henries, double farads);
  static Device parallelRlc(double ohms, double henries, double farads);
  static Device open();
  static Device shortCircuit();
  static Device referenceLoad(double ohms, double henries, double farads);
  static Device through();
  static Device attenuator(double lossDb);
  static Device lowpassRc(double ohms, double farads);
  static Device lowpassLc(double cutoffHz, int order);
  static Device bandpassLc(double centreHz, double bandwidthHz, int order);
  static Device delayLine(double delaySeconds);
  static Device amplifier(double gainDb);
  static Device isolation();

  bool operator==(const Device&) const = default;
};

bool isOnePort(DeviceKind kind);

// Impedance of a one-port (ohms); an open circuit is infinite.
std::complex<double> impedanceAt(const Device& device, double frequencyHz);

// What a perfect instrument would read as A/R: for a one-port the bridge's
// nominal ratio 100/(Z + 100) (0 open, 1 short, 0.5 for 100 ohms); for a
// two-port its transmission. Always finite.
std::complex<double> responseAt(const Device& device, double frequencyHz);

// The bridge ratio of an impedance, open (infinite) included.
std::complex<double> bridgeRatio(std::complex<double> impedance);

}  // namespace vna
