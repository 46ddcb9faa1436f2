#include "analyzer/sweep_average.h"

namespace vna {

SweepAverage::SweepAverage(int points)
    : ratio_(static_cast<std::size_t>(points)), level_(static_cast<std::size_t>(points)) {}

void SweepAverage::add(std::span<const ConvertedPoint> sweep) {
  if (sweep.size() != ratio_.size()) return;
  for (std::size_t i = 0; i < sweep.size(); ++i) {
    ratio_[i].add(sweep[i].ratio);
    level_[i].add({sweep[i].levelA, sweep[i].levelR});
  }
  ++sweeps_;
}

SweepAverage::Point SweepAverage::with(int i, const ConvertedPoint& last) const {
  ComplexMean ratio = ratio_[static_cast<std::size_t>(i)], level = level_[static_cast<std::size_t>(i)];
  ratio.add(last.ratio);
  level.add({last.levelA, last.levelR});
  return {ratio.result(), level.result()};
}

std::vector<UncertainComplex> SweepAverage::ratios() const {
  std::vector<UncertainComplex> out;
  out.reserve(ratio_.size());
  for (const ComplexMean& m : ratio_) out.push_back(m.result());
  return out;
}

std::vector<Complex> SweepAverage::means() const {
  std::vector<Complex> out;
  out.reserve(ratio_.size());
  for (const ComplexMean& m : ratio_) out.push_back(m.result().value);
  return out;
}

std::optional<StandardSpread> SweepAverage::spread() const {
  if (sweeps_ < 2) return std::nullopt;
  StandardSpread s{sweeps_, {}, {}};
  for (const ComplexMean& m : ratio_) {
    const UncertainComplex u = m.result();
    s.uRe.push_back(u.uRe);
    s.uIm.push_back(u.uIm);
  }
  return s;
}

}  // namespace vna
