// The mean of several sweeps of one plan, point by point: each point's
// complex ratio with the standard uncertainty of its mean (ComplexMean), and
// the mean of its two levels with theirs. A sweep is added whole, once all
// its points are measured: a sweep cut short (a time-out, then measured again
// after the port is reopened) adds nothing.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "analyzer/calibration_file.h"
#include "analyzer/sample_conversion.h"
#include "measurement/uncertainty.h"

namespace vna {

class SweepAverage {
 public:
  explicit SweepAverage(int points);

  // One sweep's points, in order; a sweep of another length is ignored.
  void add(std::span<const ConvertedPoint> sweep);
  int sweeps() const { return sweeps_; }

  // Each point's mean ratio with its uncertainty (0 below two sweeps).
  std::vector<UncertainComplex> ratios() const;
  // The means alone, as a standard or a through keeps them.
  std::vector<Complex> means() const;
  // The spread a standard keeps beside its means; none below two sweeps.
  std::optional<StandardSpread> spread() const;
  // The mean of point i's levels (base-10 logarithms of the amplitudes) as
  // one pair, levelA + j levelR, each part with its own uncertainty.
  UncertainComplex levels(int i) const { return level_[static_cast<std::size_t>(i)].result(); }

  // Point i as it will be once `last`, point i of the sweep under way, is
  // added: a point final before its sweep is whole.
  struct Point {
    UncertainComplex ratio, levels;
  };
  Point with(int i, const ConvertedPoint& last) const;

 private:
  int sweeps_ = 0;
  std::vector<ComplexMean> ratio_;
  std::vector<ComplexMean> level_;  // levelA + j levelR
};

}  // namespace vna
