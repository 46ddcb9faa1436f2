#include "reflection/equivalent_circuits.h"

#include <Eigen/Dense>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <unsupported/Eigen/NonLinearOptimization>

#include "platform/numeric.h"
#include "reflection/circuit_models.h"
#include "reflection/resonances.h"

namespace vna {

namespace {

double angular(double frequencyHz) {
  return 2 * kPi * frequencyHz;
}

// ---- What each model derives from its elements ---------------------------

struct SweepRange {
  double wLow, wHigh;
};
using Derived = std::array<double, 3>;
using DeriveFn = Derived (*)(const Elements& p, SweepRange range);

double seriesResonanceHz(double l, double c) {
  return 1 / (2 * kPi * std::sqrt(l * c));
}

Derived capacitorDerived(const Elements& p, SweepRange) {
  return {seriesResonanceHz(p[1], p[2])};
}

Derived rlcSeriesDerived(const Elements& p, SweepRange) {
  const double f0 = seriesResonanceHz(p[1], p[2]);
  return {f0, angular(f0) * p[1] / p[0]};
}

Derived rlcParallelDerived(const Elements& p, SweepRange) {
  const double f0 = seriesResonanceHz(p[1], p[2]);
  return {f0, p[0] / (angular(f0) * p[1])};
}

// The coil's self-resonance is where the model's reactance is zero,
// w^2 = 1/(LC) - (R/L)^2 (not a number when the loss leaves none). Its Q,
// X/R = w (L - R^2 C - w^2 L^2 C) / R, is largest at w^2 = (L - R^2 C) /
// (3 L^2 C); the largest over the sweep is there, or at the nearer end.
Derived inductorDerived(const Elements& p, SweepRange range) {
  const double r = p[0], l = p[1], c = p[2];
  const double w0Squared = 1 / (l * c) - (r / l) * (r / l);
  const double srf = w0Squared > 0 ? std::sqrt(w0Squared) / (2 * kPi) : std::nan("");
  const double peakSquared = (l - r * r * c) / (3 * l * l * c);
  const double w = std::clamp(peakSquared > 0 ? std::sqrt(peakSquared) : 0.0, range.wLow, range.wHigh);
  return {srf, w * (l - r * r * c - w * w * l * l * c) / r, w / (2 * kPi)};
}

Derived crystalDerived(const Elements& p, SweepRange) {
  const double fs = seriesResonanceHz(p[1], p[2]);
  return {fs, fs * std::sqrt(1 + p[2] / p[3]), angular(fs) * p[1] / p[0]};
}

// ---- The models, one row each ---------------------------------------------

struct NamedSlot {
  std::string_view name, unit;
  int element = 0;  // index into the circuit's elements (parameters only)
};

struct ModelRow {
  CircuitModel model;
  std::string_view name;
  Circuit circuit;
  std::array<NamedSlot, kMaxElements> parameters;  // in the model's order
  DeriveFn derive;
  std::array<NamedSlot, 3> derived;
  int derivedCount;
};

constexpr ModelRow kModelRows[] = {
    {CircuitModel::Resistor,
     "resistor",
     Circuit::ShuntedCoil,
     {{{"r_ohm", "ohm", 0}, {"ls_h", "H", 1}, {"cp_f", "F", 2}}},
     nullptr,
     {},
     0},
    {CircuitModel::Capacitor,
     "capacitor",
     Circuit::SeriesRlc,
     {{{"c_f", "F", 2}, {"esr_ohm", "ohm", 0}, {"esl_h", "H", 1}}},
     capacitorDerived,
     {{{"srf_hz", "Hz"}}},
     1},
    {CircuitModel::Inductor,
     "inductor",
     Circuit::ShuntedCoil,
     {{{"l_h", "H", 1}, {"rs_ohm", "ohm", 0}, {"cp_f", "F", 2}}},
     inductorDerived,
     {{{"srf_hz", "Hz"}, {"q", ""}, {"q_at_hz", "Hz"}}},
     3},
    {CircuitModel::RlcSeries,
     "rlc-series",
     Circuit::SeriesRlc,
     {{{"r_ohm", "ohm", 0}, {"l_h", "H", 1}, {"c_f", "F", 2}}},
     rlcSeriesDerived,
     {{{"f0_hz", "Hz"}, {"q", ""}}},
     2},
    {CircuitModel::RlcParallel,
     "rlc-parallel",
     Circuit::ParallelRlc,
     {{{"r_ohm", "ohm", 0}, {"l_h", "H", 1}, {"c_f", "F", 2}}},
     rlcParallelDerived,
     {{{"f0_hz", "Hz"}, {"q", ""}}},
     2},
    {CircuitModel::Crystal,
     "crystal",
     Circuit::Crystal,
     {{{"r1_ohm", "ohm", 0}, {"l1_h", "H", 1}, {"c1_f", "F", 2}, {"c0_f", "F", 3}}},
     crystalDerived,
     {{{"fs_hz", "Hz"}, {"fp_hz", "Hz"}, {"q", ""}}},
     3},
};

const ModelRow& rowOf(CircuitModel model) {
  for (const ModelRow& row : kModelRows)
    if (row.model == model) return row;
  return kModelRows[0];
}

// ---- The fit ----------------------------------------------------------------

// The residuals are taken in the reflection on this reference, not in the
// impedance: an instrument's error is about constant there (a bridge's
// ratio, a VNA's s11), so an impedance far from the reference, read with
// little precision (a coil at its self-resonance, a crystal at fp), counts
// as little as it deserves; and s stays finite where Z does not.
constexpr double kFitReferenceOhms = 50;

Complex reflectionOn(Complex z) {
  if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) return 1.0;  // an open
  return (z - kFitReferenceOhms) / (z + kFitReferenceOhms);
}

// Residuals s(Zmodel) - s(Zmeasured), real and imaginary parts, as a
// function of x = ln(p / start): every unknown is a step of order one
// however small its value.
struct ReflectionResiduals {
  using Scalar = double;
  Circuit circuit;
  Elements start;
  int count;
  std::span<const Complex> z;
  std::vector<double> w;
  std::vector<Complex> gamma;  // the measured reflection of each point on kFitReferenceOhms

  int inputs() const { return count; }
  int values() const { return static_cast<int>(2 * z.size()); }

  Elements elementsAt(const Eigen::VectorXd& x) const {
    Elements p = start;
    for (int k = 0; k < count; ++k) p[k] = start[k] * std::exp(x[k]);
    return p;
  }

  int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& r) const {
    const Elements p = elementsAt(x);
    for (std::size_t i = 0; i < z.size(); ++i) {
      const Complex d = reflectionOn(circuitImpedance(circuit, p, w[i])) - gamma[i];
      // A trial step into overflow is a bad step, not the end of the fit.
      const bool finite = std::isfinite(d.real()) && std::isfinite(d.imag());
      r[2 * i] = finite ? d.real() : 1e10;
      r[2 * i + 1] = finite ? d.imag() : 1e10;
    }
    return 0;
  }

  int df(const Eigen::VectorXd& x, Eigen::MatrixXd& jacobian) const {
    const Elements p = elementsAt(x);
    Complex slopes[kMaxElements];
    for (std::size_t i = 0; i < z.size(); ++i) {
      const Complex zi = circuitImpedance(circuit, p, w[i], slopes);
      // d s/dZ = 2 R0 / (Z + R0)^2
      const Complex ds = 2 * kFitReferenceOhms / ((zi + kFitReferenceOhms) * (zi + kFitReferenceOhms));
      for (int k = 0; k < count; ++k) {
        const Complex d = slopes[k] * ds;
        jacobian(2 * i, k) = std::isfinite(d.real()) ? d.real() : 0;
        jacobian(2 * i + 1, k) = std::isfinite(d.imag()) ? d.imag() : 0;
      }
    }
    return 0;
  }
};

// The elements of one circuit fitted to the sweep, with the covariance of
// their logarithms.
struct CircuitSolution {
  Circuit circuit = Circuit::SeriesRlc;
  bool ok = false;
  std::string failure;
  Elements p{};
  Eigen::MatrixXd covariance;  // of ln p
  double squares = 0;          // residual sum of squares
  double criterion = 0;
};

// A value that grew this far beyond its physical start stands for an
// element stretched to a short or an open (a series capacitance of a
// resistor, a parallel inductance of a capacitor): the circuit does not suit
// the part, and the fit says so. A value that shrinks toward zero is a
// parasitic the sweep does not see, which is an answer: it is kept, with an
// uncertainty that says how large it could be.
constexpr double kRunAwayFactor = 1e6;

std::string describeStatus(int status) {
  return status == Eigen::LevenbergMarquardtSpace::TooManyFunctionEvaluation
             ? "the fit did not converge"
             : "the fit stopped (solver status " + std::to_string(status) + ")";
}

CircuitSolution solve(Circuit circuit, std::span<const double> f, std::span<const Complex> z,
                      std::span<const Resonance> resonances) {
  CircuitSolution s;
  s.circuit = circuit;
  const auto start = startingElements(circuit, f, z, resonances);
  if (const auto* reason = std::get_if<std::string>(&start)) {
    s.failure = *reason;
    return s;
  }
  ReflectionResiduals residuals{circuit, std::get<Elements>(start), elementCount(circuit), z, {}, {}};
  for (std::size_t i = 0; i < z.size(); ++i) {
    residuals.w.push_back(angular(f[i]));
    residuals.gamma.push_back(reflectionOn(z[i]));
  }
  const int count = residuals.count;
  Eigen::VectorXd x = Eigen::VectorXd::Zero(count);
  Eigen::LevenbergMarquardt<ReflectionResiduals> solver(residuals);
  solver.parameters.maxfev = 150;
  const int status = solver.minimize(x);
  const bool converged = (status >= 1 && status <= 4) || (status >= 6 && status <= 8);
  if (!converged) {
    s.failure = describeStatus(status);
    return s;
  }
  s.p = residuals.elementsAt(x);
  for (int k = 0; k < count; ++k) {
    if (!(x[k] < std::log(kRunAwayFactor)))
      s.failure = "a value ran off to infinity: the circuit does not suit the sweep";
    if (!(s.p[k] > 0)) s.failure = "a value ran off to zero";  // below the smallest double
  }
  if (!s.failure.empty()) return s;
  Eigen::VectorXd r(residuals.values());
  Eigen::MatrixXd jacobian(residuals.values(), count);
  residuals(x, r);
  residuals.df(x, jacobian);
  s.squares = r.squaredNorm();
  // Covariance s^2 (J^T J)^-1 through the QR factors of J (J P = Q R, so
  // (J^T J)^-1 = P R^-1 R^-T P^T): the logarithms of L1 and C1 of a crystal
  // are nearly collinear, and forming J^T J would square that. The columns
  // are scaled to unit length first (J = Js D^-1), so that the column of a
  // parasitic shrunk toward zero does not pass for a lost rank.
  const Eigen::VectorXd columnScale = jacobian.colwise().norm().cwiseMax(1e-300).cwiseInverse();
  jacobian = jacobian * columnScale.asDiagonal();
  const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(jacobian);
  if (qr.rank() < count) {
    s.failure = "the sweep cannot tell the values apart";
    return s;
  }
  const Eigen::MatrixXd rFactor = qr.matrixR().topLeftCorner(count, count).triangularView<Eigen::Upper>();
  const Eigen::MatrixXd rInverse =
      rFactor.triangularView<Eigen::Upper>().solve(Eigen::MatrixXd::Identity(count, count));
  const double n2 = static_cast<double>(r.size());
  const double variance = s.squares / (n2 - count);
  s.covariance = variance * columnScale.asDiagonal() *
                 (qr.colsPermutation() * (rInverse * rInverse.transpose()) * qr.colsPermutation().transpose()) *
                 columnScale.asDiagonal();
  s.criterion = n2 * std::log(s.squares / n2) + count * std::log(n2);
  s.ok = true;
  return s;
}

// Standard uncertainty of a derived value: sqrt(g^T S g), with g its
// gradient by the logarithms of the elements (central differences).
double derivedUncertainty(const ModelRow& row, const CircuitSolution& s, int index, SweepRange range) {
  const int count = elementCount(s.circuit);
  constexpr double h = 1e-6;
  Eigen::VectorXd g(count);
  for (int k = 0; k < count; ++k) {
    Elements up = s.p, down = s.p;
    up[k] *= std::exp(h), down[k] *= std::exp(-h);
    g[k] = (row.derive(up, range)[index] - row.derive(down, range)[index]) / (2 * h);
  }
  return std::sqrt(g.dot(s.covariance * g));
}

CircuitFit describe(CircuitModel model, const CircuitSolution& s, std::span<const double> f) {
  CircuitFit fit;
  fit.model = model;
  if (!s.ok) {
    fit.failure = s.failure;
    return fit;
  }
  const ModelRow& row = rowOf(model);
  for (int k = 0; k < elementCount(row.circuit); ++k) {
    const NamedSlot& slot = row.parameters[k];
    const double value = s.p[slot.element];
    fit.values.push_back({slot.name, slot.unit, value, value * std::sqrt(s.covariance(slot.element, slot.element))});
  }
  const SweepRange range{angular(f.front()), angular(f.back())};
  if (row.derive) {
    const Derived derived = row.derive(s.p, range);
    for (int k = 0; k < row.derivedCount; ++k)
      fit.values.push_back(
          {row.derived[k].name, row.derived[k].unit, derived[k], derivedUncertainty(row, s, k, range)});
  }
  for (const double fi : f) fit.curve.push_back(circuitImpedance(s.circuit, s.p, angular(fi)));
  fit.rmsResidual = std::sqrt(s.squares / (2.0 * static_cast<double>(f.size())));
  fit.criterion = s.criterion;
  fit.converged = true;
  return fit;
}

// The name under which a fitted circuit is shown (see chooseModel).
CircuitModel characterOf(const CircuitSolution& s, std::span<const double> f) {
  switch (s.circuit) {
    case Circuit::SeriesRlc: {
      const double low = circuitImpedance(s.circuit, s.p, angular(f.front())).imag();
      const double high = circuitImpedance(s.circuit, s.p, angular(f.back())).imag();
      return std::fabs(low) > 10 * std::fabs(high) ? CircuitModel::Capacitor : CircuitModel::RlcSeries;
    }
    case Circuit::ShuntedCoil: {
      std::size_t reactive = 0;
      for (const double fi : f) {
        const Complex zi = circuitImpedance(s.circuit, s.p, angular(fi));
        reactive += zi.imag() > zi.real() ? 1 : 0;
      }
      return 2 * reactive > f.size() ? CircuitModel::Inductor : CircuitModel::Resistor;
    }
    case Circuit::ParallelRlc: return CircuitModel::RlcParallel;
    case Circuit::Crystal: return CircuitModel::Crystal;
  }
  return CircuitModel::Resistor;
}

// How many of a fit's elements the sweep resolves (standard uncertainty
// below the value itself).
int resolvedCount(const CircuitSolution& s) {
  int resolved = 0;
  for (int k = 0; k < elementCount(s.circuit); ++k) resolved += std::sqrt(s.covariance(k, k)) < 1 ? 1 : 0;
  return resolved;
}

// Criteria closer than this do not tell two circuits apart (a pure
// resistance is fitted as well by a series RLC whose L and C the sweep
// cannot see as by a resistor with its parasitics).
constexpr double kCriterionTie = 10;

std::string percentText(double fraction) {
  char text[32];
  const double percent = 100 * fraction;
  std::snprintf(text, sizeof text, percent >= 10 ? "%.0f %%" : percent >= 1 ? "%.1f %%" : "%.2g %%", percent);
  return text;
}

}  // namespace

std::string_view circuitModelName(CircuitModel model) {
  return rowOf(model).name;
}

std::optional<CircuitModel> parseCircuitModel(std::string_view name) {
  for (const ModelRow& row : kModelRows)
    if (row.name == name) return row.model;
  return std::nullopt;
}

CircuitFit fitCircuit(CircuitModel model, std::span<const double> f, std::span<const Complex> z) {
  if (const auto problem = sweepProblem(f, z)) {
    CircuitFit fit;
    fit.model = model;
    fit.failure = *problem;
    return fit;
  }
  const std::vector<Resonance> resonances = findResonances(f, z);
  return describe(model, solve(rowOf(model).circuit, f, z, resonances), f);
}

ModelChoice chooseModel(std::span<const double> f, std::span<const Complex> z) {
  ModelChoice choice;
  if (const auto problem = sweepProblem(f, z)) {
    choice.best.failure = *problem;
    choice.reason = *problem;
    return choice;
  }
  const std::vector<Resonance> resonances = findResonances(f, z);
  std::vector<CircuitSolution> solved;
  for (const Circuit circuit : {Circuit::SeriesRlc, Circuit::ShuntedCoil, Circuit::ParallelRlc, Circuit::Crystal})
    solved.push_back(solve(circuit, f, z, resonances));
  std::stable_sort(solved.begin(), solved.end(), [](const CircuitSolution& a, const CircuitSolution& b) {
    return a.ok != b.ok ? a.ok : a.criterion < b.criterion;
  });
  if (!solved[0].ok) {
    choice.best = describe(CircuitModel::Resistor, solved[0], f);
    choice.reason = "no model fits the sweep";
    return choice;
  }
  // Among circuits the criterion cannot tell apart, the one that resolves
  // the most of its elements: it explains the sweep with what it sees.
  std::size_t winner = 0;
  for (std::size_t k = 1; k < solved.size() && solved[k].ok; ++k)
    if (solved[k].criterion - solved[0].criterion <= kCriterionTie &&
        resolvedCount(solved[k]) > resolvedCount(solved[winner]))
      winner = k;
  std::rotate(solved.begin(), solved.begin() + static_cast<long>(winner),
              solved.begin() + static_cast<long>(winner) + 1);
  choice.best = describe(characterOf(solved[0], f), solved[0], f);
  choice.reason =
      std::string(circuitModelName(choice.best.model)) + ": residual " + percentText(choice.best.rmsResidual);
  if (solved[1].ok) {
    choice.runnerUp = describe(characterOf(solved[1], f), solved[1], f);
    choice.reason += " against " + percentText(choice.runnerUp->rmsResidual) + " for " +
                     std::string(circuitModelName(choice.runnerUp->model));
    if (solved[1].criterion - solved[0].criterion <= kCriterionTie &&
        resolvedCount(solved[1]) < resolvedCount(solved[0]))
      choice.reason += ", which resolves " + std::to_string(resolvedCount(solved[1])) + " of its " +
                       std::to_string(elementCount(solved[1].circuit)) + " values against " +
                       std::to_string(resolvedCount(solved[0])) + " of " +
                       std::to_string(elementCount(solved[0].circuit));
  } else {
    choice.reason += ", the only model that fits";
  }
  return choice;
}

}  // namespace vna
