#include "reflection/circuit_models.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/numeric.h"

namespace vna {

namespace {

constexpr Complex kJ{0, 1};

double angular(double frequencyHz) {
  return 2 * kPi * frequencyHz;
}

bool allPositive(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v) && v > 0; });
}

// The median of `value` over the few points at one end of the sweep, so that
// one noisy point does not set the start.
enum class End { Low, High };
template <typename Value>
double medianAtEnd(std::size_t count, End end, Value value) {
  const std::size_t take = std::min<std::size_t>(5, count);
  std::vector<double> v;
  for (std::size_t k = 0; k < take; ++k) v.push_back(value(end == End::Low ? k : count - 1 - k));
  std::nth_element(v.begin(), v.begin() + static_cast<long>(take / 2), v.end());
  return v[take / 2];
}

template <typename Value>
double medianOfAll(std::size_t count, Value value) {
  std::vector<double> v;
  for (std::size_t i = 0; i < count; ++i) v.push_back(value(i));
  std::nth_element(v.begin(), v.begin() + static_cast<long>(count / 2), v.end());
  return v[count / 2];
}

// The deepest series resonance (lowest |Z|) or the highest parallel one.
const Resonance* strongest(std::span<const Resonance> resonances, Resonance::Kind kind) {
  const Resonance* best = nullptr;
  for (const Resonance& r : resonances) {
    if (r.kind != kind) continue;
    const bool better = !best || (kind == Resonance::Kind::Series ? r.impedanceOhms < best->impedanceOhms
                                                                  : r.impedanceOhms > best->impedanceOhms);
    if (better) best = &r;
  }
  return best;
}

// A series R, L, C start on an immittance W = A + jB(w) read as A + jwL +
// 1/(jwC): on Z it gives R, L, C of a series circuit; on Y it gives G, C, L
// of a parallel one (the same algebra with the roles exchanged). At a
// resonance of W: A from the value there, L from the Q of the slope
// (Q = w0 L / A), C from w0. Without one: A from the median, C from the
// lowest points, L from the highest; a side the sweep does not show is put
// a decade beyond it.
struct SeriesLike {
  double resistive, inductive, capacitive;
};
template <typename Immittance>
std::optional<SeriesLike> seriesLikeStart(std::span<const double> f, Immittance w, const Resonance* resonance,
                                          double resistiveAtResonance) {
  if (resonance) {
    const double w0 = angular(resonance->frequencyHz);
    const double inductive = resonance->q * resistiveAtResonance / w0;
    const SeriesLike s{resistiveAtResonance, inductive, 1 / (w0 * w0 * inductive)};
    if (allPositive({s.resistive, s.inductive, s.capacitive})) return s;
  }
  const std::size_t n = f.size();
  const double scale = medianOfAll(n, [&](std::size_t i) { return std::abs(w(i)); });
  const double resistive = std::max(medianOfAll(n, [&](std::size_t i) { return w(i).real(); }), 1e-6 * scale);
  double capacitive = medianAtEnd(n, End::Low, [&](std::size_t i) { return -1 / (angular(f[i]) * w(i).imag()); });
  double inductive = medianAtEnd(n, End::High, [&](std::size_t i) { return w(i).imag() / angular(f[i]); });
  const double wLow = angular(f.front()), wHigh = angular(f.back());
  if (!allPositive({capacitive}) && !allPositive({inductive})) {
    const double wMid = std::sqrt(wLow * wHigh);
    inductive = scale / wMid, capacitive = 1 / (wMid * scale);
  } else if (!allPositive({capacitive})) {
    capacitive = 1 / (std::pow(wLow / 10, 2) * inductive);
  } else if (!allPositive({inductive})) {
    inductive = 1 / (std::pow(wHigh * 10, 2) * capacitive);
  }
  if (!allPositive({resistive, inductive, capacitive})) return std::nullopt;
  return SeriesLike{resistive, inductive, capacitive};
}

// A coil (or a resistor) with its series R, shunted by C. R from the lowest
// points; at a parallel resonance C from the Q of the susceptance slope
// (Q = w0 C |Z|) and L from w0; without one L from the reactance of the
// highest points (C then puts the resonance well above the sweep), or C from
// their susceptance when the shunt rules there.
std::optional<Elements> shuntedCoilStart(std::span<const double> f, std::span<const Complex> z,
                                         std::span<const Resonance> resonances) {
  const std::size_t n = f.size();
  const double scale = medianOfAll(n, [&](std::size_t i) { return std::abs(z[i]); });
  const double r = std::max(medianAtEnd(n, End::Low, [&](std::size_t i) { return z[i].real(); }), 1e-6 * scale);
  if (const Resonance* p = strongest(resonances, Resonance::Kind::Parallel)) {
    const double w0 = angular(p->frequencyHz);
    double c = p->q / (w0 * p->impedanceOhms), l = 1 / (w0 * w0 * c);
    // At a coil's self-resonance |Z| is far above the reference and read
    // with little precision, its Q with it: where the inductance the low
    // end shows disagrees by more than a factor of three, L is taken from
    // there and C from the resonance's frequency alone.
    const double lLow = medianAtEnd(n, End::Low, [&](std::size_t i) { return z[i].imag() / angular(f[i]); });
    if (allPositive({lLow}) && !(l < 3 * lLow && lLow < 3 * l)) l = lLow, c = 1 / (w0 * w0 * lLow);
    if (allPositive({r, l, c})) return Elements{r, l, c, 0};
  }
  const double wBeyond = 3 * angular(f.back());
  const double l = medianAtEnd(n, End::High, [&](std::size_t i) { return z[i].imag() / angular(f[i]); });
  if (allPositive({l})) return Elements{r, l, std::min(0.1 * l / (r * r), 1 / (wBeyond * wBeyond * l)), 0};
  const double c = medianAtEnd(n, End::High, [&](std::size_t i) { return (1.0 / z[i]).imag() / angular(f[i]); });
  if (allPositive({c})) return Elements{r, std::min(0.1 * c * r * r, 1 / (wBeyond * wBeyond * c)), c, 0};
  return std::nullopt;
}

// The crystal's motional arm from its series resonance (R1 = |Z| there, L1
// from the Q of the slope, C1 from fs); C0 from the parallel resonance above
// it (fp^2 / fs^2 = 1 + C1/C0), or, when the sweep stops short of fp, from
// the susceptance at the end farthest from fs less that of the motional arm.
std::variant<Elements, std::string> crystalStart(std::span<const double> f, std::span<const Complex> z,
                                                 std::span<const Resonance> resonances) {
  const Resonance* s = strongest(resonances, Resonance::Kind::Series);
  if (!s) return std::string("the sweep shows no series resonance");
  const double ws = angular(s->frequencyHz);
  const double r1 = s->impedanceOhms, l1 = s->q * r1 / ws, c1 = 1 / (ws * ws * l1);
  if (!allPositive({r1, l1, c1})) return std::string("the series resonance has no positive Q");
  for (const Resonance& p : resonances) {
    if (p.kind != Resonance::Kind::Parallel || p.frequencyHz <= s->frequencyHz) continue;
    const double c0 = c1 / (std::pow(p.frequencyHz / s->frequencyHz, 2) - 1);
    if (allPositive({c0})) return Elements{r1, l1, c1, c0};
  }
  const bool lowIsFarther = std::log(s->frequencyHz / f.front()) > std::log(f.back() / s->frequencyHz);
  const std::size_t i = lowIsFarther ? 0 : f.size() - 1;
  const double w = angular(f[i]);
  const Complex motional = r1 + kJ * (w * l1 - 1 / (w * c1));
  const double c0 = ((1.0 / z[i]).imag() - (1.0 / motional).imag()) / w;
  if (!allPositive({c0})) return std::string("the sweep shows no capacitance beside the resonance");
  return Elements{r1, l1, c1, c0};
}

}  // namespace

int elementCount(Circuit circuit) {
  return circuit == Circuit::Crystal ? 4 : 3;
}

Complex circuitImpedance(Circuit circuit, const Elements& p, double w, Complex* slopes) {
  switch (circuit) {
    case Circuit::SeriesRlc: {
      const Complex inductive = kJ * w * p[1], capacitive = 1.0 / (kJ * w * p[2]);
      if (slopes) slopes[0] = p[0], slopes[1] = inductive, slopes[2] = -capacitive;
      return p[0] + inductive + capacitive;
    }
    case Circuit::ParallelRlc: {
      const Complex dY[3] = {-1 / p[0], -1.0 / (kJ * w * p[1]), kJ * w * p[2]};
      const Complex z = 1.0 / (-dY[0] - dY[1] + dY[2]);
      if (slopes)
        for (int k = 0; k < 3; ++k) slopes[k] = -z * z * dY[k];
      return z;
    }
    case Circuit::ShuntedCoil:
    case Circuit::Crystal: {
      // A series arm (R, L, and C1 for the crystal) shunted by a capacitance.
      const bool crystal = circuit == Circuit::Crystal;
      const Complex inductive = kJ * w * p[1];
      const Complex capacitive = crystal ? 1.0 / (kJ * w * p[2]) : Complex(0, 0);
      const Complex arm = p[0] + inductive + capacitive;
      const double shunt = crystal ? p[3] : p[2];
      const Complex z = 1.0 / (1.0 / arm + kJ * w * shunt);
      if (slopes) {
        const Complex toZ = z * z / (arm * arm);  // dZ = -Z^2 dY, dY = -dArm / arm^2 for the arm
        slopes[0] = toZ * p[0];
        slopes[1] = toZ * inductive;
        if (crystal) slopes[2] = -toZ * capacitive;
        slopes[crystal ? 3 : 2] = -z * z * kJ * w * shunt;
      }
      return z;
    }
  }
  return {};
}

std::variant<Elements, std::string> startingElements(Circuit circuit, std::span<const double> f,
                                                     std::span<const Complex> z,
                                                     std::span<const Resonance> resonances) {
  const std::string nothing = "the sweep shows no reactance to start from";
  switch (circuit) {
    case Circuit::SeriesRlc: {
      const Resonance* s = strongest(resonances, Resonance::Kind::Series);
      const auto start = seriesLikeStart(
          f, [&](std::size_t i) { return z[i]; }, s, s ? s->impedanceOhms : 0.0);
      if (!start) return nothing;
      return Elements{start->resistive, start->inductive, start->capacitive, 0};
    }
    case Circuit::ParallelRlc: {
      const Resonance* p = strongest(resonances, Resonance::Kind::Parallel);
      const auto start = seriesLikeStart(
          f, [&](std::size_t i) { return 1.0 / z[i]; }, p, p ? 1 / p->impedanceOhms : 0.0);
      if (!start) return nothing;
      // On Y: G, then C in the place of L, and L in the place of C.
      return Elements{1 / start->resistive, start->capacitive, start->inductive, 0};
    }
    case Circuit::ShuntedCoil: {
      const auto start = shuntedCoilStart(f, z, resonances);
      if (!start) return nothing;
      return *start;
    }
    case Circuit::Crystal: return crystalStart(f, z, resonances);
  }
  return nothing;
}

}  // namespace vna
