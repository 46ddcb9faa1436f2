// Means of repeated measurements and how far they can be trusted: the mean
// of N complex readings with the standard uncertainty of that mean (the
// standard deviation of the mean, of the real and the imaginary part), and
// the standard uncertainty of any values computed from such means, found by
// moving each input by its own uncertainty. Pure, apart from the caller's
// function.
#pragma once

#include <complex>
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace vna {

using Complex = std::complex<double>;

// A complex value whose real and imaginary parts carry independent standard
// uncertainties; 0 where nothing is known of the spread (one reading).
struct UncertainComplex {
  Complex value;
  double uRe = 0, uIm = 0;
};

// Running mean and spread of complex readings (Welford's update, which
// keeps its accuracy when the spread is tiny beside the mean).
class ComplexMean {
 public:
  void add(Complex reading);
  int count() const { return count_; }
  // The mean and the standard deviation of the mean; u = 0 below two readings.
  UncertainComplex result() const;

 private:
  int count_ = 0;
  Complex mean_;
  double squaresRe_ = 0, squaresIm_ = 0;  // sums of squared deviations
};

// The values `evaluate` computes from the inputs' values, and the standard
// uncertainty of each: the root sum of squares of the changes each real and
// each imaginary part of each input causes when it moves by its own
// uncertainty (the first-order propagation of independent errors, taken by
// central differences). Values marked in `degrees` are angles (in the
// programs' degrees, of pi = 3.1415926): their changes are taken within half
// a turn, so that a phase near the wrap is not uncertain by a whole turn. `evaluate` writes `count` values.
using Evaluation = std::function<void(std::span<const Complex> inputs, std::span<double> values)>;
struct Propagated {
  std::vector<double> value, u;
};
Propagated propagate(std::span<const UncertainComplex> inputs, std::size_t count, std::span<const bool> degrees,
                     const Evaluation& evaluate);

}  // namespace vna
