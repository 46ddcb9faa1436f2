// The values of a measured component: the equivalent circuit that fits its
// impedance sweep best, each value with its standard uncertainty from the
// fit. Weighted least squares of the complex impedance over the whole sweep
// (each point counts by its error in the reflection on 50 ohms, as an
// instrument makes it), Levenberg-Marquardt in the
// logarithms of the element values, starting from the sweep's resonances and
// asymptotes. Pure functions.
#pragma once

#include <complex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vna {

using Complex = std::complex<double>;

enum class CircuitModel { Resistor, Capacitor, Inductor, RlcSeries, RlcParallel, Crystal };

inline constexpr CircuitModel kCircuitModels[] = {CircuitModel::Resistor,    CircuitModel::Capacitor,
                                                  CircuitModel::Inductor,    CircuitModel::RlcSeries,
                                                  CircuitModel::RlcParallel, CircuitModel::Crystal};

// The names the command line gives: resistor capacitor inductor rlc-series
// rlc-parallel crystal.
std::string_view circuitModelName(CircuitModel model);
std::optional<CircuitModel> parseCircuitModel(std::string_view name);

// A fitted or derived value and its standard uncertainty, in SI units
// ("ohm", "H", "F", "Hz"; empty for a Q). A parasitic the sweep does not see
// is fitted toward zero and kept: its uncertainty bounds it. A derived value
// the model does not have (the self-resonance of a coil whose loss leaves
// none) is not a number.
struct FittedValue {
  std::string_view name, unit;
  double value = 0, u = 0;
};

struct CircuitFit {
  CircuitModel model = CircuitModel::Resistor;
  bool converged = false;
  std::string failure;  // why there are no values, when not converged
  // The model's parameters in its order, then its derived values.
  std::vector<FittedValue> values;
  double rmsResidual = 0;      // root mean square of the residuals of s11 on 50 ohms (0.001 = 0.1 %)
  double criterion = 0;        // Bayesian information criterion on the 2n real residuals
  std::vector<Complex> curve;  // the model's impedance at each frequency
};

CircuitFit fitCircuit(CircuitModel model, std::span<const double> frequencyHz, std::span<const Complex> z);

// Each circuit fitted once, and the one with the lowest criterion chosen
// (of those within a small margin of it, the one that resolves the most of
// its values: a pure resistance is fitted as well by a series RLC whose L and
// C the sweep cannot see), with the best of the other circuits as the
// runner-up and a one-line reason.
// Models that are one circuit under two names are told apart by what the
// sweep shows of the part: a series RLC is a "capacitor" when its reactance
// at the lowest frequency is more than ten times that at the highest (the
// capacitance rules the sweep), else "rlc-series"; a shunted coil is an
// "inductor" when its reactance exceeds its resistance at more than half of
// the points, else a "resistor".
struct ModelChoice {
  CircuitFit best;
  std::optional<CircuitFit> runnerUp;
  std::string reason;
};
ModelChoice chooseModel(std::span<const double> frequencyHz, std::span<const Complex> z);

}  // namespace vna
