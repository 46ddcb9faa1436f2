#include "analyzer/sweep_average.h"

namespace vna {

SweepAverage::SweepAverage(int points)
    : ratio_(static_cast<std::size_t>(points)),
      levelSumA_(static_cast<std::size_t>(points)),
      levelSumR_(static_cast<std::size_t>(points)) {}

void SweepAverage::add(std::span<const ConvertedPoint> sweep) {
  if (sweep.size() != ratio_.size()) return;
  for (std::size_t i = 0; i < sweep.size(); ++i) {
    ratio_[i].add(sweep[i].ratio);
    levelSumA_[i] += sweep[i].levelA;
    levelSumR_[i] += sweep[i].levelR;
  }
  ++sweeps_;
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
