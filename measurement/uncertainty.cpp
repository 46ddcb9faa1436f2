#include "measurement/uncertainty.h"

#include <algorithm>
#include <cmath>

#include "platform/numeric.h"

namespace vna {

void ComplexMean::add(Complex reading) {
  ++count_;
  const Complex before = mean_;
  mean_ += (reading - before) / static_cast<double>(count_);
  squaresRe_ += (reading.real() - before.real()) * (reading.real() - mean_.real());
  squaresIm_ += (reading.imag() - before.imag()) * (reading.imag() - mean_.imag());
}

UncertainComplex ComplexMean::result() const {
  if (count_ < 2) return {mean_, 0, 0};
  const double n = count_;
  return {mean_, std::sqrt(squaresRe_ / (n - 1) / n), std::sqrt(squaresIm_ / (n - 1) / n)};
}

namespace {

// A change of an angle in degrees, taken within half a turn. The programs'
// degrees are radians times 180/3.1415926, so a turn is 360.0000118 of them.
constexpr double kTurn = 360.0 * 3.14159265358979323846 / kPi;
double angleChange(double change) {
  return std::remainder(change, kTurn);
}

}  // namespace

Propagated propagate(std::span<const UncertainComplex> inputs, std::size_t count, std::span<const bool> degrees,
                     const Evaluation& evaluate) {
  std::vector<Complex> x(inputs.size());
  std::transform(inputs.begin(), inputs.end(), x.begin(), [](const UncertainComplex& c) { return c.value; });
  Propagated out{std::vector<double>(count), std::vector<double>(count, 0.0)};
  evaluate(x, out.value);
  std::vector<double> up(count), down(count);
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    for (const bool imaginary : {false, true}) {
      const double u = imaginary ? inputs[k].uIm : inputs[k].uRe;
      if (!(u > 0)) continue;
      // A step much smaller than u keeps the difference a derivative, and
      // one not below a billionth of the value keeps rounding out of it.
      const double h = std::max(u * 1e-3, std::abs(inputs[k].value) * 1e-9);
      const Complex step = imaginary ? Complex(0, h) : Complex(h, 0);
      x[k] = inputs[k].value + step;
      evaluate(x, up);
      x[k] = inputs[k].value - step;
      evaluate(x, down);
      x[k] = inputs[k].value;
      for (std::size_t i = 0; i < count; ++i) {
        double change = up[i] - down[i];
        if (i < degrees.size() && degrees[i]) change = angleChange(change);
        const double sensitivity = change / (2 * h) * u;
        out.u[i] += sensitivity * sensitivity;
      }
    }
  }
  for (double& u : out.u) u = std::sqrt(u);
  return out;
}

}  // namespace vna
